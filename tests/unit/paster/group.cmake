# The paster's uploads go to a real loopback server on cpp-httplib.
pkg_check_modules(PASTER_TEST_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
target_link_libraries(test_${group} PRIVATE PkgConfig::PASTER_TEST_HTTPLIB)
