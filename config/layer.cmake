# The administrator's policy is read from the registry on Windows.
if(WIN32)
  target_link_libraries(quillon_config PUBLIC advapi32)
endif()
