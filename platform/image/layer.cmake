# Image codecs and metafile playback of the platform's image layer.
pkg_check_modules(TURBOJPEG REQUIRED IMPORTED_TARGET libturbojpeg)
if(WIN32)
  # PNG, bitmaps and metafiles are GDI+'s on Windows (memory streams from ole32, metafile
  # handles from gdi32).
  target_link_libraries(quillon_platform_image PUBLIC PkgConfig::TURBOJPEG gdiplus ole32 gdi32)
else()
  pkg_check_modules(SPNG REQUIRED IMPORTED_TARGET spng)
  pkg_check_modules(RSVG REQUIRED IMPORTED_TARGET librsvg-2.0)
  pkg_check_modules(LIBXML REQUIRED IMPORTED_TARGET libxml-2.0)
  pkg_check_modules(LIBWMF REQUIRED IMPORTED_TARGET libwmf)
  find_library(EMF2SVG_LIBRARY emf2svg REQUIRED)
  target_link_libraries(quillon_platform_image PUBLIC PkgConfig::TURBOJPEG PkgConfig::SPNG
                        PkgConfig::RSVG PkgConfig::LIBXML PkgConfig::LIBWMF ${EMF2SVG_LIBRARY})
  # The raster device's canvas record: its header includes siblings by their bare names.
  find_path(LIBWMF_GD_INCLUDE_DIR gd_io.h PATHS /usr/include/libwmf/gd REQUIRED)
  set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/image/linux/MetafileWmf.cpp
                              PROPERTIES INCLUDE_DIRECTORIES ${LIBWMF_GD_INCLUDE_DIR})
endif()
