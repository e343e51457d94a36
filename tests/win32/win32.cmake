# The Windows test programs, included by the top-level CMakeLists.txt in a Windows build: one
# program per tests/win32/*_test.cpp. They use the small harness of tests/win32/Check.h (no
# GoogleTest is cross-built), print "N passed, N failed" and exit non-zero on a failure;
# scripts/win32/test-wine64.sh builds them for x86_64 and runs them under 64-bit Wine.
file(GLOB QUILLON_WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*_test.cpp)
# The corpus is read in place, through the drive Wine maps onto the Unix root.
set(QUILLON_WIN32_CORPUS ${QUILLON_CORPUS_DIR})
set(QUILLON_WIN32_TESTS "")
foreach(source ${QUILLON_WIN32_TEST_SOURCES})
  get_filename_component(test ${source} NAME_WE)
  add_executable(${test} ${source})
  target_link_libraries(${test} PRIVATE quillon_core)
  target_compile_definitions(${test} PRIVATE QUILLON_WIN32_CORPUS_DIR="Z:${QUILLON_WIN32_CORPUS}")
  set_target_properties(${test} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  list(APPEND QUILLON_WIN32_TESTS ${test})
endforeach()

# The test browser host on Windows, and plugin_test.exe, which loads npQuillon.dll through
# LoadLibrary and drives it as a browser does (tests/win32/plugin/).
add_library(quillon_test_host STATIC
  ${CMAKE_SOURCE_DIR}/tests/host/BrowserFunctions.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/Instance.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/PageFunction.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/PageObjects.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/TestHost.cpp
  ${CMAKE_SOURCE_DIR}/tests/host/Value.cpp)
target_include_directories(quillon_test_host PUBLIC ${CMAKE_SOURCE_DIR}
                           ${CMAKE_SOURCE_DIR}/tests/host)
target_link_libraries(quillon_test_host PUBLIC Threads::Threads)
file(GLOB QUILLON_WIN32_PLUGIN_TEST_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/tests/win32/plugin/*.cpp)
add_executable(plugin_test ${QUILLON_WIN32_PLUGIN_TEST_SOURCES})
target_include_directories(plugin_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/win32
                           ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(plugin_test PRIVATE quillon_test_host quillon_core version ole32 gdi32
                      user32)
target_compile_definitions(plugin_test PRIVATE QUILLON_WIN32_CORPUS_DIR="Z:${QUILLON_WIN32_CORPUS}")
set_target_properties(plugin_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
add_dependencies(plugin_test npQuillon)
list(APPEND QUILLON_WIN32_TESTS plugin_test)

# native_host_test.exe starts quillon-host.exe from its own folder, as Chromium starts it.
get_directory_property(QUILLON_CHROMIUM_EXTENSION_ID DIRECTORY ${CMAKE_SOURCE_DIR}/host
                       DEFINITION QUILLON_CHROMIUM_EXTENSION_ID)
target_compile_definitions(native_host_test PRIVATE
                           QUILLON_CHROMIUM_EXTENSION_ID="${QUILLON_CHROMIUM_EXTENSION_ID}")
target_include_directories(native_host_test PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
target_link_libraries(native_host_test PRIVATE ole32 user32 PkgConfig::QUILLON_ZLIB)
add_dependencies(native_host_test quillon-host)

# All of them at once: cmake --build <dir> --target win32_tests
add_custom_target(win32_tests DEPENDS ${QUILLON_WIN32_TESTS})
target_link_libraries(http_test PRIVATE ws2_32)
