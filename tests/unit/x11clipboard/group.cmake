# The tests drive real clipboard owners on a private Xvfb: xclip and our own owner program,
# which can also misbehave (stall, garbage, endless INCR transfers).
add_executable(x11_test_owner ${group_dir}/owner/TestOwner.cpp)
pkg_check_modules(X11_TEST_XCB REQUIRED IMPORTED_TARGET xcb)
target_link_libraries(x11_test_owner PRIVATE PkgConfig::X11_TEST_XCB)
add_dependencies(test_${group} x11_test_owner)
target_compile_definitions(test_${group} PRIVATE
  QUILLON_X11_TEST_OWNER="$<TARGET_FILE:x11_test_owner>")
