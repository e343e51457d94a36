# The transport tests talk to real loopback servers, some of them on cpp-httplib.
pkg_check_modules(NET_TEST_HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
pkg_check_modules(NET_TEST_OPENSSL REQUIRED IMPORTED_TARGET openssl)
target_link_libraries(test_${group} PRIVATE PkgConfig::NET_TEST_HTTPLIB PkgConfig::NET_TEST_OPENSSL)
