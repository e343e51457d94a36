#!/bin/bash
# Checks the Windows library cache: cross-builds tests/win32/deps_check.exe with
# cmake/toolchain-mingw32.cmake (every cached library found through the same pkg-config and
# Boost lookups as the plug-in's build), checks that it imports system DLLs only (the runtime
# is linked in statically), and runs it under Wine, which prints one line per library.
#   scripts/win32/check-deps.sh [BUILD_DIR]   (default: build-win32-check in the clone)
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
CACHE=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}
BUILD=${1:-$repo/build-win32-check}
HOST=i686-w64-mingw32

die() {
  echo "check-deps: error: $*" >&2
  exit 1
}

[ -d "$CACHE/prefix/lib" ] || die "no library cache in $CACHE (run scripts/win32/build-deps.sh)"
cmake -S "$repo/tests/win32" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw32.cmake" \
  -DQUILLON_WIN32_CACHE="$CACHE" -DCMAKE_BUILD_TYPE=Release >"$BUILD.configure.log" 2>&1 || {
  cat "$BUILD.configure.log" >&2
  die "configuring the check failed"
}
nice -n 19 cmake --build "$BUILD" -j 2 || die "building the check failed"
exe=$BUILD/deps_check.exe
[ -f "$exe" ] || die "$exe was not built"

# Only DLLs that every Windows has: no libstdc++, libgcc or winpthread DLL.
imports=$("$HOST-objdump" -p "$exe" | awk '/DLL Name:/ { print $3 }' | sort -u)
echo "check-deps: $(basename "$exe") imports:" $imports
foreign=$(echo "$imports" | grep -viE '^(kernel32|user32|gdi32|advapi32|ws2_32|msvcrt|ole32|oleaut32|shell32|shlwapi|wininet|gdiplus|version|api-ms-win-[a-z0-9-]+)\.dll$' || true)
[ -z "$foreign" ] || die "$(basename "$exe") needs non-system DLLs: $foreign"

cd "$BUILD"
QUILLON_WINE_PREFIX=${QUILLON_WINE_PREFIX:-$CACHE/wine/prefix-check} "$here/run-wine.sh" "$exe"
