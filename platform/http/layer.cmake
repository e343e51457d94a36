# The HTTP transport maps onto libcurl on Linux and onto WinINet on Windows.
if(NOT WIN32)
  pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
  target_link_libraries(quillon_platform_http PUBLIC PkgConfig::CURL)
endif()
if(WIN32)
  target_link_libraries(quillon_platform_http PUBLIC wininet)
endif()
