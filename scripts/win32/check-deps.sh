#!/bin/bash
# Checks the Windows library cache: cross-builds tests/win32/deps_check.exe with the
# architecture's toolchain file (every cached library found through the same pkg-config and
# Boost lookups as the plug-in's build), checks that it imports system DLLs only (the runtime
# is linked in statically), and runs it under Wine, which prints one line per library: 32-bit
# Wine for i686, 64-bit Wine for x86_64.
#   scripts/win32/check-deps.sh [BUILD_DIR]   (default: build-win32-check[-x86_64] in the clone)
# Environment: QUILLON_WIN_ARCH (i686 or x86_64, default i686), QUILLON_WIN32_CACHE.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
CACHE=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}
ARCH=${QUILLON_WIN_ARCH:-i686}
case $ARCH in
  i686) PREFIX_NAME=prefix TOOLCHAIN=toolchain-mingw32.cmake SUFFIX="" ;;
  x86_64) PREFIX_NAME=prefix-x86_64 TOOLCHAIN=toolchain-mingw64.cmake SUFFIX=-x86_64 ;;
  *)
    echo "check-deps: error: QUILLON_WIN_ARCH must be i686 or x86_64, not '$ARCH'" >&2
    exit 1
    ;;
esac
BUILD=${1:-$repo/build-win32-check$SUFFIX}
HOST=$ARCH-w64-mingw32

die() {
  echo "check-deps: error: $*" >&2
  exit 1
}

[ -d "$CACHE/$PREFIX_NAME/lib" ] ||
  die "no $ARCH library cache in $CACHE (run QUILLON_WIN_ARCH=$ARCH scripts/win32/build-deps.sh)"
mkdir -p "$BUILD"
cmake -S "$repo/tests/win32" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/$TOOLCHAIN" \
  -DQUILLON_WIN32_CACHE="$CACHE" -DCMAKE_BUILD_TYPE=Release >"$BUILD/configure.log" 2>&1 || {
  cat "$BUILD/configure.log" >&2
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
if [ "$ARCH" = i686 ]; then
  QUILLON_WINE_PREFIX=${QUILLON_WINE_PREFIX:-$CACHE/wine/prefix-check} "$here/run-wine.sh" "$exe"
else
  WINE64=${QUILLON_WINE64:-/usr/lib/wine/wine64}
  export WINEPREFIX=${QUILLON_WINE_PREFIX:-$CACHE/wine/prefix64-check} WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
  rm -rf "$WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 300 "$WINE64" wineboot -i >/dev/null 2>&1 || die "wineboot could not create $WINEPREFIX"
  rc=0
  timeout 300 "$WINE64" "$exe" || rc=$?
  "$(dirname "$WINE64")/wineserver" -w 2>/dev/null || true
  exit "$rc"
fi
