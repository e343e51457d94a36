#!/bin/bash
# Builds quillon-host.exe for 32-bit Windows (cmake/toolchain-mingw32.cmake over the i686
# library cache of build-deps.sh), the native-messaging host current browsers start, and
# checks the file that ships: a 32-bit console program that imports only DLLs every Windows
# has and carries its version resource.
#   scripts/win32/build-host.sh [BUILD_DIR]   (default: build-win32-i686 in the clone, the
#                                              folder of build-dll.sh)
# Prints the program's path on the last line. Installing it for the user:
# `quillon-host.exe --install-user` (manifests beside it, HKCU registry keys).
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
CACHE=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}
BUILD=${1:-$repo/build-win32-i686}
HOST=i686-w64-mingw32

die() {
  echo "build-host: error: $*" >&2
  exit 1
}

[ -d "$CACHE/prefix/lib" ] || die "no i686 library cache in $CACHE (run scripts/win32/build-deps.sh)"
mkdir -p "$BUILD"
cmake -S "$repo" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw32.cmake" \
  -DQUILLON_WIN32_CACHE="$CACHE" -DCMAKE_BUILD_TYPE=Release >"$BUILD/configure.log" 2>&1 || {
  cat "$BUILD/configure.log" >&2
  die "configuring the i686 build failed"
}
nice -n 10 cmake --build "$BUILD" -j 2 --target quillon-host >&2 || die "building quillon-host.exe failed"
exe=$BUILD/quillon-host.exe
"$HOST-strip" --strip-unneeded "$exe"

headers=$("$HOST-objdump" -p "$exe")
grep -q 'file format pei-i386' <<<"$headers" || die "quillon-host.exe is not a 32-bit x86 file"
# Subsystem 3 is the console: the browser hands a console program its pipes.
grep -Eq '^Subsystem\s+0+3\s' <<<"$headers" || die "quillon-host.exe is not a console program"
imports=$(echo "$headers" | awk '/DLL Name:/ { print $3 }' | sort -u)
foreign=$(echo "$imports" | grep -viE '^(kernel32|user32|gdi32|advapi32|ws2_32|msvcrt|ole32|oleaut32|shell32|shlwapi|wininet|gdiplus|version|api-ms-win-[a-z0-9-]+)\.dll$' || true)
[ -z "$foreign" ] || die "quillon-host.exe needs non-system DLLs: $foreign"
grep -qx 'quillon-host.exe' <<<"$("$HOST-strings" -el "$exe")" ||
  die "quillon-host.exe carries no version resource"

echo "build-host: $(stat -c %s "$exe") bytes; imports: $(echo "$imports" | tr '\n' ' ')" >&2
echo "$exe"
