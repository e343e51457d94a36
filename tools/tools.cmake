# The shared corpus and benchmark inputs live beside the repository (or in /work/shared for a
# clone kept elsewhere on this machine).
if(EXISTS ${CMAKE_SOURCE_DIR}/../shared/corpus)
  get_filename_component(QUILLON_SHARED_DIR ${CMAKE_SOURCE_DIR}/../shared ABSOLUTE)
else()
  set(QUILLON_SHARED_DIR /work/shared)
endif()

# quillon serve runs on cpp-httplib.
pkg_check_modules(QUILLON_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
target_link_libraries(quillon PRIVATE PkgConfig::QUILLON_HTTPLIB)

# Upload throughput and memory against curl -F, on a loopback quillon serve.
add_executable(bench_upload ${CMAKE_CURRENT_SOURCE_DIR}/bench/UploadBench.cpp)
target_link_libraries(bench_upload PRIVATE quillon_core)
set_target_properties(bench_upload PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# Image path: DIB screenshots to JPEG (1080p and 4K) and a .wmz drawn to PNG.
find_package(benchmark REQUIRED)
add_executable(bench_image ${CMAKE_CURRENT_SOURCE_DIR}/bench/ImageBench.cpp)
target_link_libraries(bench_image PRIVATE quillon_core benchmark::benchmark)
target_compile_definitions(bench_image PRIVATE
  QUILLON_CORPUS_WMZ="${QUILLON_SHARED_DIR}/corpus/wmz/gdviewer_sample.wmz")
set_target_properties(bench_image PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# Word paste conversion on 1-50 MB inputs made from the corpus, against HTML Tidy, and on
# generated hostile inputs (the shape markup generator is the tests' own).
add_executable(bench_convert ${CMAKE_CURRENT_SOURCE_DIR}/bench/ConvertBench.cpp)
target_link_libraries(bench_convert PRIVATE quillon_core)
target_include_directories(bench_convert PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
target_compile_definitions(bench_convert PRIVATE
  QUILLON_CORPUS_DIR="${QUILLON_SHARED_DIR}/corpus"
  QUILLON_BENCH_DIR="${QUILLON_SHARED_DIR}/bench")
set_target_properties(bench_convert PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
