# GDI+ is the graphics library of the Windows build (its start-up lives in this layer).
if(WIN32)
  target_link_libraries(quillon_platform_kernel PUBLIC gdiplus)
endif()
