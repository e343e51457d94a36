# The Windows build of quillon_core: the portable sources, the win32/ implementations of the
# platform layer, and none of the Linux implementations below (X11, libcurl, iconv and the
# Linux image libraries), whose Windows counterparts are the Win32 services.
set(QUILLON_LINUX_ONLY_SOURCES
    platform/clipboard/DefaultClipboardX11.cpp
    platform/clipboard/X11Clipboard.cpp
    platform/clipboard/UriList.cpp
    platform/http/CurlHttpSession.cpp
    platform/kernel/CodePageIconv.cpp
    platform/kernel/GraphicsSessionLinux.cpp
    platform/kernel/Ticks.cpp
    platform/kernel/FileSystem.cpp
    threading/EventHandler.cpp
    platform/image/MetafileChild.cpp
    platform/image/MetafileEmf.cpp
    platform/image/MetafileIsolated.cpp
    platform/image/MetafileWmf.cpp
    platform/image/PngCodec.cpp
    platform/image/SvgTextLimits.cpp)
foreach(source ${QUILLON_LINUX_ONLY_SOURCES})
  list(REMOVE_ITEM QUILLON_CORE_SOURCES ${CMAKE_SOURCE_DIR}/${source})
endforeach()
