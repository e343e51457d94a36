# The Windows test programs, included by the top-level CMakeLists.txt in a Windows build. They
# use the small harness of tests/win32/Check.h (no GoogleTest is cross-built), print
# "N passed, N failed" and exit non-zero on a failure; scripts/win32/test-wine64.sh builds them
# for x86_64 and runs them under 64-bit Wine.
set(QUILLON_WIN32_TESTS kernel_test image_test)
foreach(test ${QUILLON_WIN32_TESTS})
  add_executable(${test} ${CMAKE_SOURCE_DIR}/tests/win32/${test}.cpp)
  target_link_libraries(${test} PRIVATE quillon_core)
  set_target_properties(${test} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
endforeach()
# The corpus is read in place, through the drive Wine maps onto the Unix root.
get_filename_component(QUILLON_WIN32_CORPUS ${CMAKE_SOURCE_DIR}/../shared/corpus ABSOLUTE)
target_compile_definitions(image_test PRIVATE QUILLON_WIN32_CORPUS_DIR="Z:${QUILLON_WIN32_CORPUS}")
