#!/bin/bash
# Builds the Windows test programs for i686 (cmake/toolchain-mingw32.cmake over the i686
# library cache of build-deps.sh) beside the shipped npQuillon.dll, and runs every one of them
# under 32-bit Wine, emulated in user mode by qemu-i386 (install-wine32.sh): this machine's
# kernel cannot run 32-bit programs itself. plugin_test loads the shipped DLL through
# LoadLibrary and uploads to `quillon serve` of the Linux build; native_host_test starts
# quillon-host.exe as Chromium does and pastes and uploads through its pipes; `quillon-host.exe
# --install-user` is checked through Wine's registry (`reg query`); deps_check runs every
# cached library once.
#   scripts/win32/test-wine32.sh [BUILD_DIR]   (default: build-win32-i686 in the clone, where
#                                               scripts/win32/build-dll.sh builds the DLL)
# Environment: QUILLON_WIN32_CACHE (default /var/cache/quillon-win32), QUILLON_LINUX_BUILD
# (default build/ in the clone; quillon is built there when missing), QUILLON_WINE_PREFIX
# (default <cache>/wine/prefix32; made anew on every run).
# Exit code: 0 when every program passes, 1 on a failure.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
CACHE=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}
BUILD=${1:-$repo/build-win32-i686}
HOST=i686-w64-mingw32
# Every tests/win32/*_test.cpp is one program. QUILLON_WINE_TESTS="native_host_test ..." runs
# only those (and the install check), without deps_check: quicker while working on one.
TESTS="$(cd "$repo/tests/win32" && ls -- *_test.cpp | sed 's/\.cpp$//') plugin_test"
ONLY=${QUILLON_WINE_TESTS:-}
[ -z "$ONLY" ] || TESTS=$ONLY
LINUX_BUILD=${QUILLON_LINUX_BUILD:-$repo/build}

say() { echo "test-wine32: $*"; }
die() {
  echo "test-wine32: error: $*" >&2
  exit 1
}

[ -d "$CACHE/prefix/lib" ] || die "no i686 library cache in $CACHE (run scripts/win32/build-deps.sh)"
bash "$here/install-wine32.sh"
# shellcheck source=wine32-session.sh
. "$here/wine32-session.sh"

configure() {
  cmake -S "$1" -B "$2" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw32.cmake" \
    -DQUILLON_WIN32_CACHE="$CACHE" -DCMAKE_BUILD_TYPE=Release >"$2/configure.log" 2>&1 || {
    cat "$2/configure.log" >&2
    die "configuring $2 failed"
  }
}
mkdir -p "$BUILD" "$BUILD/deps-check"
configure "$repo" "$BUILD"
if [ -n "$ONLY" ]; then
  # shellcheck disable=SC2086
  nice -n 10 cmake --build "$BUILD" -j 2 --target $TESTS npQuillon quillon-host ||
    die "building the test programs failed"
else
  nice -n 10 cmake --build "$BUILD" -j 2 --target win32_tests || die "building the test programs failed"
  configure "$repo/tests/win32" "$BUILD/deps-check"
  nice -n 10 cmake --build "$BUILD/deps-check" -j 2 || die "building deps_check failed"
  cp "$BUILD/deps-check/deps_check.exe" "$BUILD/"
fi
# The tests load the files that ship: stripped as build-dll.sh and build-host.sh strip them
# (the DLL's export table kept).
"$HOST-strip" --strip-unneeded "$BUILD/npQuillon.dll" "$BUILD/quillon-host.exe"

# Only DLLs that every Windows has: the runtime is linked in statically.
for file in $(printf '%s.exe ' $TESTS) $([ -n "$ONLY" ] || echo deps_check.exe) npQuillon.dll quillon-host.exe; do
  imports=$("$HOST-objdump" -p "$BUILD/$file" | awk '/DLL Name:/ { print $3 }' | sort -u)
  foreign=$(echo "$imports" | grep -viE '^(kernel32|user32|gdi32|advapi32|ws2_32|msvcrt|ole32|oleaut32|shell32|shlwapi|wininet|gdiplus|version|api-ms-win-[a-z0-9-]+)\.dll$' || true)
  [ -z "$foreign" ] || die "$file needs non-system DLLs: $foreign"
done

# The upload server plugin_test posts to (a Linux process: Wine's sockets are the host's).
if [ ! -x "$LINUX_BUILD/quillon" ]; then
  cmake -S "$repo" -B "$LINUX_BUILD" >/dev/null
  nice -n 10 cmake --build "$LINUX_BUILD" -j 2 --target quillon || die "building quillon failed"
fi
uploads=$(mktemp -d)
server_out=$uploads.port
"$LINUX_BUILD/quillon" serve --dir "$uploads" >"$server_out" &
server=$!
cleanup() {
  wine32_stop
  kill "$server" 2>/dev/null || true
  rm -rf "$uploads" "$server_out"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
for _ in $(seq 50); do
  [ -s "$server_out" ] && break
  sleep 0.1
done
port=$(head -n 1 "$server_out")
[ -n "$port" ] || die "the upload server did not start"
export QUILLON_UPLOAD_URL="http://127.0.0.1:$port/upload"
export QUILLON_UPLOAD_DIR="Z:$uploads"
export QUILLON_SHIPPED_DLL="Z:$(cd "$BUILD" && pwd)/npQuillon.dll"

start=$(date +%s)
wine32_start "${QUILLON_WINE_PREFIX:-$CACHE/wine/prefix32}" || die "32-bit Wine does not start"
say "prefix ready in $(($(date +%s) - start))s"

failed=0
passed=0
# run [VAR=VALUE...] PROGRAM.exe [ARGS...]: the settings go to Wine's environment only.
run() {
  local rc=0 settings=()
  while [[ "$1" == *=* ]]; do
    settings+=("$1")
    shift
  done
  say "running ${settings[*]} $*"
  (cd "$BUILD" && timeout 900 env "${settings[@]}" "$WINE32_ROOT/usr/lib/wine/wine" "$@") || rc=$?
  if [ "$rc" -eq 0 ]; then
    passed=$((passed + 1))
  else
    say "$1 failed (exit code $rc)"
    failed=$((failed + 1))
  fi
}
[ -n "$ONLY" ] || run deps_check.exe
for t in $TESTS; do
  run "$t.exe"
done
# Once more under a Chinese Windows locale, whose ANSI code page (936, GBK) the code-page
# helpers must use without being told.
[ -n "$ONLY" ] || run LC_ALL=zh_CN.UTF-8 kernel_test.exe --system-acp=936

# The host installed for the user: a manifest per browser family beside the program, naming
# it, and each browser's key under HKCU naming its manifest, read back with Wine's reg.
check_registration() {
  local folder entry key expected value chromium_id rc=0
  (cd "$BUILD" && timeout 300 "$WINE32_ROOT/usr/lib/wine/wine" quillon-host.exe --install-user) ||
    return 1
  folder="Z:$(cd "$BUILD" && pwd | tr / '\\')"
  for entry in 'Google\Chrome chromium' 'Microsoft\Edge chromium' 'Chromium chromium' \
    'Mozilla firefox'; do
    key='HKCU\Software\'"${entry% *}"'\NativeMessagingHosts\org.npquillon.host'
    expected="$folder"'\org.npquillon.host-'"${entry#* }"'.json'
    value=$(timeout 300 "$WINE32_ROOT/usr/lib/wine/wine" reg query "$key" /ve | tr -d '\r' |
      sed -n 's/^.*REG_SZ[[:space:]]*//p')
    [ "$value" = "$expected" ] || {
      say "$key names '$value', not '$expected'"
      rc=1
    }
  done
  chromium_id=$(sed -n 's/^set(QUILLON_CHROMIUM_EXTENSION_ID \(.*\))$/\1/p' "$repo/host/CMakeLists.txt")
  python3 - "$BUILD" "$folder"'\quillon-host.exe' "$chromium_id" <<'PYTHON' || rc=1
import json, sys
build, program, chromium_id = sys.argv[1:]
expected = {
    "chromium": ("allowed_origins", ["chrome-extension://%s/" % chromium_id]),
    "firefox": ("allowed_extensions", ["bridge@npquillon.org"]),
}
for family, (key, allowed) in expected.items():
    with open("%s/org.npquillon.host-%s.json" % (build, family), encoding="utf-8") as f:
        manifest = json.load(f)
    wanted = {"name": "org.npquillon.host", "path": program, "type": "stdio", key: allowed}
    for name, value in wanted.items():
        if manifest.get(name) != value:
            sys.exit("test-wine32: the %s manifest has %s = %r, not %r"
                     % (family, name, manifest.get(name), value))
PYTHON
  return "$rc"
}
say "checking quillon-host.exe --install-user"
rm -f "$BUILD"/org.npquillon.host-*.json
if check_registration; then
  passed=$((passed + 1))
else
  say "quillon-host.exe --install-user failed its checks"
  failed=$((failed + 1))
fi

say "$passed programs passed, $failed failed (32-bit Wine, i686 build)"
[ "$failed" -eq 0 ] || die "some Windows tests failed"
