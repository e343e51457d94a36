#!/bin/bash
# Builds npQuillon.dll for 32-bit Windows (cmake/toolchain-mingw32.cmake over the i686
# library cache of build-deps.sh) and checks the file a browser will load: a 32-bit DLL that
# exports exactly NP_GetEntryPoints, NP_Initialize and NP_Shutdown under their plain names,
# imports only DLLs every Windows has, and carries its version resource.
#   scripts/win32/build-dll.sh [BUILD_DIR]   (default: build-win32-i686 in the clone)
# Prints the DLL's path on the last line.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
repo=$(cd "$here/../.." && pwd)
CACHE=${QUILLON_WIN32_CACHE:-/var/cache/quillon-win32}
BUILD=${1:-$repo/build-win32-i686}
HOST=i686-w64-mingw32

die() {
  echo "build-dll: error: $*" >&2
  exit 1
}

[ -d "$CACHE/prefix/lib" ] || die "no i686 library cache in $CACHE (run scripts/win32/build-deps.sh)"
mkdir -p "$BUILD"
cmake -S "$repo" -B "$BUILD" -DCMAKE_TOOLCHAIN_FILE="$repo/cmake/toolchain-mingw32.cmake" \
  -DQUILLON_WIN32_CACHE="$CACHE" -DCMAKE_BUILD_TYPE=Release >"$BUILD/configure.log" 2>&1 || {
  cat "$BUILD/configure.log" >&2
  die "configuring the i686 build failed"
}
nice -n 10 cmake --build "$BUILD" -j 2 --target npQuillon >&2 || die "building npQuillon.dll failed"
dll=$BUILD/npQuillon.dll
# Symbols are not shipped (the export table is kept).
"$HOST-strip" --strip-unneeded "$dll"

headers=$("$HOST-objdump" -p "$dll")
grep -q 'file format pei-i386' <<<"$headers" || die "npQuillon.dll is not a 32-bit x86 file"
grep -Eq '^\s+DLL$' <<<"$headers" || die "npQuillon.dll is not marked as a DLL"
# The export table's name lines: "[ordinal] name" under "[Ordinal/Name Pointer] Table".
exports=$(echo "$headers" | awk '/\[Ordinal\/Name Pointer\] Table/ { on = 1; next }
  on && /^[ \t]*\[ *[0-9]+\]/ { print $NF; next } on && NF == 0 { on = 0 }' | sort | tr '\n' ' ')
[ "$exports" = "NP_GetEntryPoints NP_Initialize NP_Shutdown " ] ||
  die "npQuillon.dll exports '$exports', not exactly NP_GetEntryPoints NP_Initialize NP_Shutdown"
imports=$(echo "$headers" | awk '/DLL Name:/ { print $3 }' | sort -u)
foreign=$(echo "$imports" | grep -viE '^(kernel32|user32|gdi32|advapi32|ws2_32|msvcrt|ole32|oleaut32|shell32|shlwapi|wininet|gdiplus|version|api-ms-win-[a-z0-9-]+)\.dll$' || true)
[ -z "$foreign" ] || die "npQuillon.dll needs non-system DLLs: $foreign"
grep -q ' \.rsrc ' <<<"$("$HOST-objdump" -h "$dll")" || die "npQuillon.dll has no resource section"
# The version resource's strings are UTF-16; its MIME type is what browsers register.
grep -qx 'application/npQuillon' <<<"$("$HOST-strings" -el "$dll")" ||
  die "npQuillon.dll carries no MIMEType string"

echo "build-dll: $(stat -c %s "$dll") bytes; exports: $exports" >&2
echo "build-dll: imports: $(echo "$imports" | tr '\n' ' ')" >&2
echo "$dll"
