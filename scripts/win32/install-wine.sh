#!/bin/sh
# Installs what the Windows tests run in: Debian's 64-bit Wine (wine64) and, for the
# clipboard, Xvfb with xauth. 32-bit Wine (wine32:i386) is not installed: its loader is a
# 32-bit Linux program, which a kernel without ia32 emulation (this project's CI machine)
# cannot start, so the shipped 32-bit DLL is checked statically and the same sources are tested
# as a 64-bit build under wine64 (scripts/win32/test-wine64.sh).
# Idempotent: when everything is present it does nothing and needs no network.
set -eu
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
WINE64=${QUILLON_WINE64:-/usr/lib/wine/wine64}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=""
for p in wine64 xvfb xauth; do
  installed "$p" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  echo "wine: installing$missing"
  $SUDO apt-get update -qq
  # shellcheck disable=SC2086
  if ! $SUDO apt-get install -y -qq --no-install-recommends $missing; then
    echo "wine: error: could not install$missing" >&2
    exit 1
  fi
fi
if ! out=$("$WINE64" --version 2>&1); then
  echo "wine: error: $WINE64 is installed but does not start: $out" >&2
  exit 1
fi
echo "wine: ready ($out)"
