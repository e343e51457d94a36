# Cross build for 64-bit Windows with mingw-w64 (x86_64, posix thread model, runtime linked in
# statically). The plug-in ships for 32-bit Windows; this build of the same sources runs
# their Windows tests under 64-bit Wine where 32-bit programs cannot run.
#
#   QUILLON_WIN_ARCH=x86_64 scripts/win32/build-deps.sh
#   cmake -S . -B build-win64 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake
#
# Libraries come from the prefix-x86_64/ folder of the cache (QUILLON_WIN32_CACHE, default
# /var/cache/quillon-win32) and from the mingw-w64 system root.

set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(QUILLON_MINGW_TRIPLET x86_64-w64-mingw32)
set(QUILLON_WIN32_PREFIX_NAME prefix-x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
