#quillon_core : every layer, the plug - in binding included, linked into the plug - in module, the
#command - line program and the tests.
#Each layer directory is globbed, so adding a file needs no edit here; a layer with extra
#libraries lists them in its own < layer> / layer.cmake, included below when present.
set(QUILLON_LAYERS util threading Biz config platform/kernel platform/clipboard script events core
    Office Network platform/http platform/image image plugin)

set(QUILLON_CORE_SOURCES "")
foreach(layer ${QUILLON_LAYERS})
  file(GLOB_RECURSE layer_sources CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/${layer}/*.cpp ${CMAKE_SOURCE_DIR}/${layer}/*.c)
  list(APPEND QUILLON_CORE_SOURCES ${layer_sources})
endforeach()
list(REMOVE_DUPLICATES QUILLON_CORE_SOURCES)
# The module's exported entry points are compiled into the module alone.
list(FILTER QUILLON_CORE_SOURCES EXCLUDE REGEX ".*/plugin/Exports\\.cpp$")
#Windows implementations of the platform layer live in win32 / folders and build only there;
#the Windows build leaves out the Linux implementations(cmake / Win32Sources.cmake).
if(WIN32)
  include(${CMAKE_SOURCE_DIR}/cmake/Win32Sources.cmake)
else()
  list(FILTER QUILLON_CORE_SOURCES EXCLUDE REGEX ".*/win32/.*")
endif()

add_library(quillon_core STATIC ${QUILLON_CORE_SOURCES})
target_include_directories(quillon_core PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(quillon_core PUBLIC Boost::thread Boost::date_time PkgConfig::LOG4CPLUS
                      PkgConfig::JSONCPP Threads::Threads)

foreach(layer ${QUILLON_LAYERS})
  if(EXISTS ${CMAKE_SOURCE_DIR}/${layer}/layer.cmake)
    include(${CMAKE_SOURCE_DIR}/${layer}/layer.cmake)
  endif()
endforeach()
