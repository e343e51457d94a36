# quillon serve is tested as a process on loopback; its multipart reader is also linked in.
add_dependencies(test_${group} quillon)
target_sources(test_${group} PRIVATE ${CMAKE_SOURCE_DIR}/tools/quillon/MultipartReader.cpp
                                     ${CMAKE_SOURCE_DIR}/tools/quillon/RequestHead.cpp)
