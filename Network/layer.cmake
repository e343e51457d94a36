# Crypto++ (the upload's SHA digests).
pkg_check_modules(CRYPTOPP REQUIRED IMPORTED_TARGET libcrypto++)
target_link_libraries(quillon_network PUBLIC PkgConfig::CRYPTOPP)
# The upload file name is the CRC-32 of the bytes, computed with zlib.
pkg_check_modules(QUILLON_ZLIB REQUIRED IMPORTED_TARGET zlib)
target_link_libraries(quillon_network PUBLIC PkgConfig::QUILLON_ZLIB)
