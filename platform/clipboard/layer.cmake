# The X11 clipboard talks to the display server through libxcb; XFixes reports owner changes.
if(NOT WIN32)
  pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb xcb-xfixes)
  target_link_libraries(quillon_core PUBLIC PkgConfig::XCB)
endif()
