# Cross build for 32-bit Windows with mingw-w64 (i686, posix thread model: the win32 model has
# no std::thread), the runtime linked in statically so the DLL needs no compiler runtime DLL.
#
#   cmake -S . -B build-win32 -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw32.cmake
#
# Libraries come from the cache that scripts/win32/build-deps.sh fills
# (QUILLON_WIN32_CACHE, default /var/cache/quillon-win32; headers and static libraries
# under its prefix/) and from the mingw-w64 system root (zlib of libz-mingw-w64-dev).

set(CMAKE_SYSTEM_PROCESSOR x86)
set(QUILLON_MINGW_TRIPLET i686-w64-mingw32)
set(QUILLON_WIN32_PREFIX_NAME prefix)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
