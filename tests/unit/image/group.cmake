# The renderer program built with its test-only faults (QUILLON_RENDERER_FAULT), for the tests
# of child-process playback; never installed.
add_executable(npquillon-metafile-faulty ${CMAKE_SOURCE_DIR}/tools/renderer/MetafileRenderer.cpp)
target_link_libraries(npquillon-metafile-faulty PRIVATE quillon_core)
target_compile_definitions(npquillon-metafile-faulty PRIVATE QUILLON_RENDERER_FAULTS)
target_link_options(npquillon-metafile-faulty PRIVATE -Wl,--as-needed)
add_dependencies(test_image npquillon-metafile-faulty)
target_compile_definitions(test_image PRIVATE
  QUILLON_FAULTY_RENDERER="$<TARGET_FILE:npquillon-metafile-faulty>")
