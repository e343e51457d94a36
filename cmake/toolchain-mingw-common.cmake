# Shared part of the mingw-w64 toolchain files (toolchain-mingw32.cmake for i686, the plug-in's
# own target, and toolchain-mingw64.cmake for x86_64, whose programs run under 64-bit Wine).
# They set CMAKE_SYSTEM_PROCESSOR, QUILLON_MINGW_TRIPLET and QUILLON_WIN32_PREFIX_NAME (the
# folder of the library cache that scripts/win32/build-deps.sh fills for that architecture)
# and include this file.

set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${QUILLON_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLON_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLON_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${QUILLON_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${QUILLON_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

if(NOT QUILLON_WIN32_CACHE)
  if(DEFINED ENV{QUILLON_WIN32_CACHE})
    set(QUILLON_WIN32_CACHE $ENV{QUILLON_WIN32_CACHE})
  else()
    set(QUILLON_WIN32_CACHE /var/cache/quillon-win32)
  endif()
endif()
set(QUILLON_WIN32_PREFIX ${QUILLON_WIN32_CACHE}/${QUILLON_WIN32_PREFIX_NAME})
# Try-compile projects run this file again: hand the cache location down to them.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUILLON_WIN32_CACHE)

set(CMAKE_FIND_ROOT_PATH ${QUILLON_WIN32_PREFIX} /usr/${QUILLON_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static archives only: no import library of a DLL (libz.dll.a beside libz.a) gets picked by
# accident. CMake's Windows platform file sets the suffixes after this file is read, so they
# are set again in a rules override, which is read after it.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
set(CMAKE_USER_MAKE_RULES_OVERRIDE ${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-static.cmake)

# pkg-config sees the cross libraries only, never the host's .pc files.
set(ENV{PKG_CONFIG_LIBDIR}
    "${QUILLON_WIN32_PREFIX}/lib/pkgconfig:/usr/${QUILLON_MINGW_TRIPLET}/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
set(ENV{PKG_CONFIG_SYSROOT_DIR} "")

# Boost from the cache: static, multi-threaded, no auto-linking or DLL imports.
set(Boost_USE_STATIC_LIBS ON)
set(Boost_USE_MULTITHREADED ON)
set(Boost_USE_STATIC_RUNTIME OFF)
set(BOOST_ROOT ${QUILLON_WIN32_PREFIX})
set(Boost_NO_SYSTEM_PATHS ON)

# Every library in the cache was built for this Windows API level (Windows 7); the headers of
# some (Boost.Thread) pick their implementation by it, so the project must use the same one.
set(QUILLON_WIN32_WINNT 0x0601)
set(CMAKE_C_FLAGS_INIT "-D_WIN32_WINNT=${QUILLON_WIN32_WINNT}")
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=${QUILLON_WIN32_WINNT}")

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
