miv_add_test(test_link SOURCES link/test_modbus_frame.cpp link/test_relay_bus.cpp)
