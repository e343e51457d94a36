# Read by the mingw toolchain files after CMake's Windows platform file: find_library (and with
# it pkg_check_modules) takes static archives only, never a DLL's import library.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)
