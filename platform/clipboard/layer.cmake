# The X11 clipboard talks to the display server through libxcb; XFixes reports owner changes.
if(NOT WIN32)
  pkg_check_modules(XCB REQUIRED IMPORTED_TARGET xcb xcb-xfixes)
  target_link_libraries(quillon_platform_clipboard PUBLIC PkgConfig::XCB)
endif()
# The Windows clipboard: user32's clipboard, OLE's data object (ole32), the shell's file lists
# (shell32) and bitmap pixels through GDI (gdi32).
if(WIN32)
  target_link_libraries(quillon_platform_clipboard PUBLIC user32 ole32 shell32 gdi32 uuid)
endif()
