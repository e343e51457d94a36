# make install and the Debian package: the plug-in goes where Linux NPAPI hosts look for
# plug-ins (/usr/lib/mozilla/plugins), the command-line program into the path, the page
# author's guide and the demo page into the documentation folder.

# NPAPI hosts search /usr/lib/mozilla/plugins, not /usr/local, so /usr is the default, also
# for a build folder configured before this rule existed (give another prefix with
# cmake --install <dir> --prefix P, or DESTDIR).
if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT
   OR (CMAKE_INSTALL_PREFIX STREQUAL "/usr/local" AND NOT QUILLON_INSTALL_PREFIX_CHOSEN))
  set(CMAKE_INSTALL_PREFIX /usr CACHE PATH "Install prefix" FORCE)
endif()
set(QUILLON_INSTALL_PREFIX_CHOSEN ON CACHE INTERNAL "The install prefix was set once")

set(QUILLON_PLUGIN_DIR lib/mozilla/plugins)
set(QUILLON_DOC_DIR share/doc/npquillon)

install(TARGETS npQuillon LIBRARY DESTINATION ${QUILLON_PLUGIN_DIR} COMPONENT runtime)
# The plug-in starts its metafile renderer from its own folder; programs installed elsewhere
# look there too.
set_source_files_properties(${CMAKE_SOURCE_DIR}/platform/image/linux/MetafileChild.cpp PROPERTIES
  COMPILE_DEFINITIONS QUILLON_RENDERER_INSTALL_DIR="${CMAKE_INSTALL_PREFIX}/${QUILLON_PLUGIN_DIR}")
install(TARGETS npquillon-metafile RUNTIME DESTINATION ${QUILLON_PLUGIN_DIR} COMPONENT runtime)
install(TARGETS quillon RUNTIME DESTINATION bin COMPONENT runtime)
install(FILES ${CMAKE_SOURCE_DIR}/docs/page-api.md DESTINATION ${QUILLON_DOC_DIR}
        COMPONENT runtime)
install(FILES ${CMAKE_SOURCE_DIR}/tools/demo/index.html ${CMAKE_SOURCE_DIR}/tools/demo/demo.js
        DESTINATION ${QUILLON_DOC_DIR}/examples COMPONENT runtime)

# Packaging needs only the programs; the top Makefile builds everything before install and
# package, so the package step does not rebuild every test program first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# cpack -G DEB (make package): one binary package; library dependencies are worked out by
# dpkg-shlibdeps from what the two programs link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME npquillon)
set(CPACK_PACKAGE_VENDOR "npQuillon developers")
set(CPACK_PACKAGE_CONTACT "npQuillon developers <npquillon@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "browser plug-in that pastes Word/Excel content and pictures into web editors")
set(CPACK_PACKAGE_DESCRIPTION
    "npQuillon is an NPAPI plug-in (MIME type application/npQuillon) that lets a web page's\n\
rich-text editor take what the user copied elsewhere: Word and Excel content whose\n\
pictures are local files, screenshots and copied image files. It converts Office HTML to\n\
clean web HTML and uploads the pictures to the page's server with progress.\n\
The package also holds the quillon command-line program (conversion, upload server).")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libwmf draws the text of ".wmz" formulas with these fonts; it finds them at run time. libcurl
# is loaded on the first HTTP session, so the library scan does not see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-urw-base35, libcurl4")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-pyqt5.qtwebkit, xclip")
include(CPack)

# The bridge for current browsers: quillon-host in the path, its manifests where Chromium,
# Google Chrome, Edge and Firefox look for system-wide native hosts, the extension (unpacked
# and packed) under share/npquillon.
install(TARGETS quillon-host RUNTIME DESTINATION bin COMPONENT runtime)
set(QUILLON_HOST_INSTALLED ${CMAKE_INSTALL_PREFIX}/bin/quillon-host)
get_directory_property(QUILLON_CHROMIUM_EXTENSION_ID DIRECTORY ${CMAKE_SOURCE_DIR}/host
                       DEFINITION QUILLON_CHROMIUM_EXTENSION_ID)
get_directory_property(QUILLON_FIREFOX_EXTENSION_ID DIRECTORY ${CMAKE_SOURCE_DIR}/host
                       DEFINITION QUILLON_FIREFOX_EXTENSION_ID)
configure_file(${CMAKE_SOURCE_DIR}/host/manifests/chromium.json.in
               ${CMAKE_BINARY_DIR}/manifests/chromium/org.npquillon.host.json @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/host/manifests/firefox.json.in
               ${CMAKE_BINARY_DIR}/manifests/firefox/org.npquillon.host.json @ONLY)
foreach(folder /etc/chromium/native-messaging-hosts /etc/opt/chrome/native-messaging-hosts
               /etc/opt/edge/native-messaging-hosts)
  install(FILES ${CMAKE_BINARY_DIR}/manifests/chromium/org.npquillon.host.json
          DESTINATION ${folder} COMPONENT runtime)
endforeach()
install(FILES ${CMAKE_BINARY_DIR}/manifests/firefox/org.npquillon.host.json
        DESTINATION lib/mozilla/native-messaging-hosts COMPONENT runtime)
install(DIRECTORY ${CMAKE_BINARY_DIR}/extension/ DESTINATION share/npquillon/extension
        COMPONENT runtime FILES_MATCHING PATTERN "*.json" PATTERN "*.js"
        PATTERN "CMakeFiles" EXCLUDE)
install(FILES ${CMAKE_BINARY_DIR}/npquillon-chromium.zip ${CMAKE_BINARY_DIR}/npquillon-firefox.xpi
        ${CMAKE_SOURCE_DIR}/docs/bridge-protocol.md DESTINATION share/npquillon COMPONENT runtime)
