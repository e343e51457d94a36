# The HTTP transport maps onto libcurl on Linux.
if(NOT WIN32)
  pkg_check_modules(CURL REQUIRED IMPORTED_TARGET libcurl)
  target_link_libraries(quillon_core PUBLIC PkgConfig::CURL)
endif()
