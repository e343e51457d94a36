# The Windows test programs, included by the top-level CMakeLists.txt in a Windows build: one
# program per tests/win32/*_test.cpp. They use the small harness of tests/win32/Check.h (no
# GoogleTest is cross-built), print "N passed, N failed" and exit non-zero on a failure;
# scripts/win32/test-wine64.sh builds them for x86_64 and runs them under 64-bit Wine.
file(GLOB QUILLON_WIN32_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*_test.cpp)
# The corpus is read in place, through the drive Wine maps onto the Unix root.
get_filename_component(QUILLON_WIN32_CORPUS ${CMAKE_SOURCE_DIR}/../shared/corpus ABSOLUTE)
set(QUILLON_WIN32_TESTS "")
foreach(source ${QUILLON_WIN32_TEST_SOURCES})
  get_filename_component(test ${source} NAME_WE)
  add_executable(${test} ${source})
  target_link_libraries(${test} PRIVATE quillon_core)
  target_compile_definitions(${test} PRIVATE QUILLON_WIN32_CORPUS_DIR="Z:${QUILLON_WIN32_CORPUS}")
  set_target_properties(${test} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
  list(APPEND QUILLON_WIN32_TESTS ${test})
endforeach()
# All of them at once: cmake --build <dir> --target win32_tests
add_custom_target(win32_tests DEPENDS ${QUILLON_WIN32_TESTS})
target_link_libraries(http_test PRIVATE ws2_32)
