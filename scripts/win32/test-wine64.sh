#!/bin/bash
# Builds the Windows test programs for x86_64 (cmake/toolchain-mingw64.cmake over the
# prefix-x86_64 library cache of build-deps.sh) and runs them under 64-bit Wine in a fresh
# prefix. The plug-in ships for i686; this runs the same sources where 32-bit programs cannot
# run (a kernel without ia32 emulation).
#   scripts/win32/test-wine64.sh [BUILD_DIR]   (default: build-win32-x86_64 in the clone)
# plugin_test loads the x86_64 npQuillon.dll and uploads to `quillon serve` of the Linux build
# (QUILLON_LINUX_BUILD, default build/ in the clone; built when missing); it also reads the
# version resource of the shipped i686 DLL named by QUILLON_SHIPPED_DLL (build-dll.sh's).
# Environment: QUILLON_WIN32_CACHE (default /var/cache/quillon-win32), QUILLON_WINE_PREFIX
# (default <cache>/wine/prefix64; made anew on every run).
# Exit code: 0 when every program passes, 1 on a failure, 125 when Wine cannot run.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
CACHE=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}
BUILD=${1:-$repo/build-win32-x86_64}
HOST=x86_64-w64-mingw32
WINE64=${QUILLON_WINE64:-/usr/lib/wine/wine64}
# Every tests/win32/*_test.cpp is one program.
TESTS="$(cd "$repo/tests/win32" && ls -- *_test.cpp | sed 's/\.cpp$//') plugin_test"
LINUX_BUILD=${QUILLON_LINUX_BUILD:-$repo/build}

say() { echo "test-wine64: $*"; }
die() {
  echo "test-wine64: error: $*" >&2
  exit "${2:-1}"
}

[ -d "$CACHE/prefix-x86_64/lib" ] ||
  die "no x86_64 library cache in $CACHE (run QUILLON_WIN_ARCH=x86_64 scripts/win32/build-deps.sh)"
[ -x "$WINE64" ] || die "$WINE64 not found (package wine64)" 125

mkdir -p "$BUILD"
cmake -S "$repo" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw64.cmake" \
  -DQUILLON_WIN32_CACHE="$CACHE" -DCMAKE_BUILD_TYPE=Release >"$BUILD/configure.log" 2>&1 || {
  cat "$BUILD/configure.log" >&2
  die "configuring the x86_64 build failed"
}
# shellcheck disable=SC2086
nice -n 10 cmake --build "$BUILD" -j 2 --target win32_tests || die "building the test programs failed"

# Stripped as the shipped DLL is (scripts/win32/build-dll.sh), so that the tests load the same
# kind of file.
"$HOST-strip" --strip-unneeded "$BUILD/npQuillon.dll"

# Only DLLs that every Windows has: the runtime is linked in statically.
for file in $(printf '%s.exe ' $TESTS) npQuillon.dll; do
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
trap 'kill $server 2>/dev/null || true; rm -rf "$uploads" "$server_out"' EXIT
for _ in $(seq 50); do
  [ -s "$server_out" ] && break
  sleep 0.1
done
port=$(head -n 1 "$server_out")
[ -n "$port" ] || die "the upload server did not start"
export QUILLON_UPLOAD_URL="http://127.0.0.1:$port/upload"
export QUILLON_UPLOAD_DIR="Z:$uploads"
if [ -n "${QUILLON_SHIPPED_DLL:-}" ]; then
  export QUILLON_SHIPPED_DLL="Z:$(cd "$(dirname "$QUILLON_SHIPPED_DLL")" && pwd)/$(basename "$QUILLON_SHIPPED_DLL")"
fi

export WINEPREFIX=${QUILLON_WINE_PREFIX:-$CACHE/wine/prefix64}
export WINEDEBUG=${WINEDEBUG:--all}
# No desktop integration, no Mono or Gecko installers on the first start.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
rm -rf "$WINEPREFIX"
mkdir -p "$(dirname "$WINEPREFIX")"
# The first start creates the prefix (and says that the 32-bit rundll32 is missing: harmless).
timeout 300 "$WINE64" wineboot -i >/dev/null 2>&1 || die "wineboot could not create $WINEPREFIX" 125

failed=0
# run [VAR=VALUE...] PROGRAM.exe [ARGS...]: the settings go to Wine's environment only.
run() {
  local rc=0 settings=()
  while [[ "$1" == *=* ]]; do
    settings+=("$1")
    shift
  done
  say "running ${settings[*]} $*"
  (cd "$BUILD" && timeout 600 env "${settings[@]}" "$WINE64" "$@") || rc=$?
  [ "$rc" -eq 0 ] || { say "$1 failed (exit code $rc)"; failed=1; }
}
for t in $TESTS; do
  run "$t.exe"
done
# Once more under a Chinese Windows locale, whose ANSI code page (936, GBK) the code-page
# helpers must use without being told.
run LC_ALL=zh_CN.UTF-8 kernel_test.exe --system-acp=936
"$(dirname "$WINE64")/wineserver" -w 2>/dev/null || true

[ "$failed" -eq 0 ] || die "some Windows tests failed"
say "all Windows tests passed"
