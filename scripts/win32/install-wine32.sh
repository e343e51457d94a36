#!/bin/bash
# Prepares 32-bit Wine under user-mode emulation, in a folder of the cache (outside the clone):
#
#   <cache>/wine32/qemu-i386   qemu's i386 user-mode emulator (one static program), from
#                              Debian's bookworm-backports (10.x: Debian 12's own 7.2 ignores
#                              the address reservation Wine 8 asks for, so every Wine process
#                              spends a minute probing memory, and prefixes crash while made)
#   <cache>/wine32/root        Debian 12's wine32 for i386 and every library it needs,
#                              unpacked, not installed: beside the host's amd64 libraries of
#                              other versions, dpkg could not install them
#
# Nothing is registered or left running; scripts/win32/test-wine32.sh registers the emulator
# for i386 programs for the length of its run. A second run reuses what is there.
# Environment: QUILLON_WIN32_CACHE (default /var/cache/quillon-win32).
set -euo pipefail

CACHE=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}
DIR=$CACHE/wine32
ROOT=$DIR/root
# Raising the revision makes the next run prepare the folder anew.
REVISION=1
STAMP=$DIR/ready

say() { echo "install-wine32: $*"; }
die() {
  echo "install-wine32: error: $*" >&2
  exit 1
}

if [ -f "$STAMP" ] && [ "$(cat "$STAMP")" = "revision $REVISION" ] && [ -x "$DIR/qemu-i386" ]; then
  say "ready ($DIR)"
  exit 0
fi
command -v dpkg-deb >/dev/null || die "dpkg-deb not found"
rm -rf "$DIR"
mkdir -p "$DIR"

# A private apt: its own sources, lists, archive folder and an empty package status, so that
# nothing of the host's apt state is read or changed. $1: folder; $2: architecture; the rest:
# suites of deb.debian.org/debian (security updates come from their own host).
private_apt() {
  local dir=$1 arch=$2 suite
  shift 2
  mkdir -p "$dir/lists/partial" "$dir/cache/archives/partial"
  : >"$dir/status"
  : >"$dir/sources.list"
  for suite in "$@"; do
    case $suite in
      *-security) echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security $suite main" ;;
      *) echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main" ;;
    esac >>"$dir/sources.list"
  done
  APT_OPTIONS=(-o "APT::Architecture=$arch" -o "APT::Architectures::=$arch"
    -o "Dir::Etc::SourceList=$dir/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o Dir::Etc::Preferences=/dev/null -o Dir::Etc::PreferencesParts=/dev/null
    -o "Dir::State::Lists=$dir/lists" -o "Dir::Cache=$dir/cache" -o "Dir::State::status=$dir/status"
    -o Debug::NoLocking=1 -o APT::Sandbox::User=root -o Acquire::Retries=3)
  # An index the mirror is still syncing is left out; what install needs must still resolve.
  apt-get "${APT_OPTIONS[@]}" update -qq || say "warning: some package indexes could not be read"
}

codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ "$codename" = bookworm ] || say "warning: made for Debian 12 (bookworm), this is '$codename'"

say "downloading qemu-user from bookworm-backports"
private_apt "$DIR/apt-amd64" amd64 bookworm-backports
(cd "$DIR/apt-amd64/cache/archives" && apt-get "${APT_OPTIONS[@]}" download -qq qemu-user/bookworm-backports) ||
  die "could not download qemu-user from bookworm-backports"
deb=$(ls "$DIR"/apt-amd64/cache/archives/qemu-user_*.deb)
dpkg-deb --fsys-tarfile "$deb" | tar -x -O ./usr/bin/qemu-i386 >"$DIR/qemu-i386.part"
chmod 755 "$DIR/qemu-i386.part"
mv "$DIR/qemu-i386.part" "$DIR/qemu-i386"
"$DIR/qemu-i386" --version | head -n 1 | sed 's/^/install-wine32: /'

say "downloading wine32 and its libraries for i386"
private_apt "$DIR/apt-i386" i386 bookworm bookworm-updates bookworm-security
apt-get "${APT_OPTIONS[@]}" install -y -qq --download-only --no-install-recommends wine32 >/dev/null ||
  die "could not download wine32 for i386"
mkdir -p "$ROOT"
for deb in "$DIR"/apt-i386/cache/archives/*.deb; do
  dpkg-deb -x "$deb" "$ROOT"
done
rm -rf "$DIR/apt-amd64" "$DIR/apt-i386"

# What the packages' own scripts would have done:
# - libwine's: Wine's zlib1.dll is the mingw-w64 one marked as a builtin DLL of Wine.
for pair in i686:i386 x86_64:x86_64; do
  in=$ROOT/usr/${pair%%:*}-w64-mingw32/lib/zlib1.dll
  out=$ROOT/usr/lib/i386-linux-gnu/wine/${pair##*:}-windows/zlib1.dll
  [ -f "$in" ] || die "no $in in the unpacked packages"
  { head -c 64 "$in"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$in"; } >"$out"
done
# - the wineserver wrapper would pick the host's 64-bit server when wine64 is installed; here
#   it always starts the 32-bit one beside it.
printf '#!/bin/sh\nexec "%s/wineserver32" -p0 "$@"\n' "$ROOT/usr/lib/wine" >"$ROOT/usr/lib/wine/wineserver"
chmod 755 "$ROOT/usr/lib/wine/wineserver"
# - the dynamic linker's cache of the i386 libraries.
ldconfig -r "$ROOT" 2>/dev/null || say "warning: ldconfig -r failed (the linker searches its default paths)"

echo "revision $REVISION" >"$STAMP"
say "ready ($DIR, $(du -sh "$ROOT" | cut -f1))"
