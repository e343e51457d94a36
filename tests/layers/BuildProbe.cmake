# Builds one layer probe in the build tree and checks how that ends.
#   BUILD_DIR  the build tree
#   TARGET     the probe's target
#   MISSING    empty: the probe must compile; otherwise the header its build must fail on
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target ${TARGET}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT MISSING)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${TARGET} should compile, but its build failed:\n${out}")
  endif()
  return()
endif()
if(rc EQUAL 0)
  message(FATAL_ERROR "${TARGET} compiled, though it includes ${MISSING} against the layer order")
endif()
# Any other failure (a broken probe, a build tree problem) is not what this test proves.
string(REGEX MATCH "${MISSING}: No such file or directory" named "${out}")
if(NOT named)
  message(FATAL_ERROR "${TARGET} failed, but not on the missing ${MISSING}:\n${out}")
endif()
