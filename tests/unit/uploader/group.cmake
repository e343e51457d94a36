# The upload entries are driven against an in-process cpp-httplib server.
pkg_check_modules(UPLOADER_TEST_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
target_link_libraries(test_${group} PRIVATE PkgConfig::UPLOADER_TEST_HTTPLIB)
