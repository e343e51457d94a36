# The upload file name is the CRC-32 of the bytes, computed with Crypto++.
pkg_check_modules(CRYPTOPP REQUIRED IMPORTED_TARGET libcrypto++)
target_link_libraries(quillon_core PUBLIC PkgConfig::CRYPTOPP)
