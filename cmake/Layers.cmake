# One static library per layer, each linking the layers below it that it uses, and
# quillon_core, which links them all for the plug-in module, the programs and the tests.
#
# Layers, bottom to top; a layer may include and link only the layers before it in this list.
# platform/clipboard sits above platform/image because it converts clipboard pictures with the
# image codecs; Network sits above config because its downloads and uploads read the user's
# settings; threading sits above platform/kernel because its lock and event are the kernel's
# (platform/kernel/Sync.h). script/ (the values, page-object handles, page thread and event
# sink of the page interface) sits below events/ and image/, which post through its sinks and
# hold its handles; core/ (the page instance and the member table) sits above everything it
# runs; plugin/ is the NPAPI binding over core/.
set(QUILLON_LAYER_ORDER util platform/kernel platform/http platform/image platform/clipboard
    threading Biz config Office Network script events image core plugin)

# Include enforcement: a layer compiles against include roots, not the source tree. Each
# layer's root (under the build tree) holds one symbolic link, named like the layer's folder,
# to that folder; the root is the layer's PUBLIC include directory, so a layer sees its own
# folder and those of the layers it links (and theirs), all of which are below it. An include
# of any other layer's header is "No such file or directory". The tests, the programs and the
# bindings' module see the whole source tree through quillon_core.
set(QUILLON_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layer-roots)

# The library of a layer folder: quillon_<folder, '/' as '_', lower case>; plugin/ is the
# NPAPI binding, whose module target (plugin/CMakeLists.txt) is named quillon_plugin, and
# core/ is quillon_page_core (quillon_core is everything).
function(quillon_layer_target folder out)
  if(folder STREQUAL "plugin")
    set(${out} quillon_plugin_binding PARENT_SCOPE)
    return()
  endif()
  if(folder STREQUAL "core")
    set(${out} quillon_page_core PARENT_SCOPE)
    return()
  endif()
  string(REPLACE "/" "_" name "${folder}")
  string(TOLOWER "${name}" name)
  set(${out} quillon_${name} PARENT_SCOPE)
endfunction()

# quillon_layer(<folder> [USES <layer folder>...] [PACKAGES <imported target>...])
# Every .cpp/.c under the folder, recursively, except the other system's implementations:
# a Linux build leaves out */win32/*, a Windows build */linux/*. A folder without sources
# (or not there yet) becomes an interface library carrying its include root and links.
function(quillon_layer folder)
  cmake_parse_arguments(LAYER "" "" "USES;PACKAGES" ${ARGN})
  quillon_layer_target(${folder} target)
  list(FIND QUILLON_LAYER_ORDER ${folder} rank)
  if(rank LESS 0)
    message(FATAL_ERROR "layer ${folder} is not in QUILLON_LAYER_ORDER")
  endif()

  set(deps "")
  foreach(used ${LAYER_USES})
    list(FIND QUILLON_LAYER_ORDER ${used} used_rank)
    if(used_rank LESS 0)
      message(FATAL_ERROR "layer ${folder} uses ${used}, which is not in QUILLON_LAYER_ORDER")
    endif()
    if(NOT used_rank LESS rank)
      message(FATAL_ERROR "layer ${folder} may not use ${used}: it is not below it")
    endif()
    quillon_layer_target(${used} used_target)
    list(APPEND deps ${used_target})
  endforeach()

  file(GLOB_RECURSE sources CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}
       ${CMAKE_SOURCE_DIR}/${folder}/*.cpp ${CMAKE_SOURCE_DIR}/${folder}/*.c)
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "(^|/)linux/")
  else()
    list(FILTER sources EXCLUDE REGEX "(^|/)win32/")
  endif()
  # The module's exported entry points are compiled into the module alone.
  list(FILTER sources EXCLUDE REGEX "^plugin/Exports\\.cpp$")
  list(TRANSFORM sources PREPEND ${CMAKE_SOURCE_DIR}/)

  set(root ${QUILLON_LAYER_ROOTS}/${target})
  get_filename_component(link_parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${link_parent})
  if(NOT IS_SYMLINK ${root}/${folder})
    file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()

  if(sources)
    add_library(${target} STATIC ${sources})
    set(scope PUBLIC)
  else()
    add_library(${target} INTERFACE)
    set(scope INTERFACE)
  endif()
  target_include_directories(${target} ${scope} $<BUILD_INTERFACE:${root}>)
  target_link_libraries(${target} ${scope} ${deps} ${LAYER_PACKAGES})
  set_property(GLOBAL APPEND PROPERTY QUILLON_LAYER_TARGETS ${target})
endfunction()

quillon_layer(util PACKAGES Boost::headers)
quillon_layer(platform/kernel USES util PACKAGES Threads::Threads)
quillon_layer(platform/http USES platform/kernel)
quillon_layer(platform/image USES platform/kernel)
quillon_layer(platform/clipboard USES platform/image platform/kernel)
quillon_layer(threading USES platform/kernel PACKAGES Boost::thread Boost::date_time
              Threads::Threads)
quillon_layer(Biz USES platform/kernel util PACKAGES PkgConfig::LOG4CPLUS)
quillon_layer(config USES Biz util PACKAGES PkgConfig::JSONCPP Boost::headers)
quillon_layer(Office USES Biz platform/clipboard platform/image platform/kernel
              PACKAGES PkgConfig::JSONCPP)
quillon_layer(Network USES Biz config platform/http platform/kernel threading
              PACKAGES Boost::headers)
quillon_layer(script USES util)
quillon_layer(events USES script Office Biz platform/kernel util PACKAGES PkgConfig::JSONCPP)
quillon_layer(image USES events script Biz Network config platform/clipboard platform/image
              platform/kernel threading util PACKAGES PkgConfig::JSONCPP PkgConfig::CRYPTOPP
              Boost::headers)
quillon_layer(core USES image events script Office Network config Biz threading
              platform/clipboard platform/kernel util PACKAGES PkgConfig::JSONCPP Boost::headers)
quillon_layer(plugin USES core script platform/kernel threading util PACKAGES Boost::headers)

# Each layer's system libraries, in <layer>/layer.cmake where it has some.
foreach(layer ${QUILLON_LAYER_ORDER})
  if(EXISTS ${CMAKE_SOURCE_DIR}/${layer}/layer.cmake)
    include(${CMAKE_SOURCE_DIR}/${layer}/layer.cmake)
  endif()
endforeach()

# Everything, for what sits above every layer (the module, the programs, the tests), which may
# include any header of the tree.
get_property(QUILLON_LAYER_TARGETS GLOBAL PROPERTY QUILLON_LAYER_TARGETS)
add_library(quillon_core INTERFACE)
target_include_directories(quillon_core INTERFACE ${CMAKE_SOURCE_DIR})
target_link_libraries(quillon_core INTERFACE ${QUILLON_LAYER_TARGETS})
