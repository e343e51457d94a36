# The HTTP transport maps onto libcurl on Linux and onto WinINet on Windows.
if(NOT WIN32)
  # Only libcurl's header at build time: the library is loaded when the first session opens
  # (platform/http/linux/CurlLibrary.h), so the package depends on it by name.
  pkg_check_modules(CURL REQUIRED libcurl)
  target_include_directories(quillon_platform_http PRIVATE ${CURL_INCLUDE_DIRS})
  target_link_libraries(quillon_platform_http PUBLIC ${CMAKE_DL_LIBS})
endif()
if(WIN32)
  target_link_libraries(quillon_platform_http PUBLIC wininet)
endif()
