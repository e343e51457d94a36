# The Word conversion parses HTML with htmlcxx's SAX and DOM parsers.
pkg_check_modules(HTMLCXX REQUIRED IMPORTED_TARGET htmlcxx)
target_link_libraries(quillon_office PUBLIC PkgConfig::HTMLCXX)
