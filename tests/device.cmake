miv_add_test(test_device SOURCES
  device/test_discovery.cpp
  device/test_identification.cpp
)
