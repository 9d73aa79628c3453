miv_add_test(test_device SOURCES
  device/test_discovery.cpp
  device/test_identification.cpp
)
if(UNIX)
  miv_add_test(test_device_mivctl SOURCES device/test_mivctl_scan_info_config.cpp LABELS Integration)
  target_link_libraries(test_device_mivctl PRIVATE miv_test_support)
endif()
