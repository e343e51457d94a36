# WordCss walks the tags with htmlcxx's SAX parser.
pkg_check_modules(HTMLCXX_CSS_TESTS REQUIRED IMPORTED_TARGET htmlcxx)
target_link_libraries(test_css PRIVATE PkgConfig::HTMLCXX_CSS_TESTS)
