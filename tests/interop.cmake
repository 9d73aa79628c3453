# Our framing against an independent Modbus implementation (libmodbus), and the
# whole road through a real pseudo-terminal to the simulator.
if(UNIX)
  miv_add_test(test_pty_smoke SOURCES interop/test_pty_smoke.cpp support/CoreApplicationMain.cpp LABELS Integration)
  target_link_libraries(test_pty_smoke PRIVATE miv_test_support)
endif()

if(UNIX AND TARGET PkgConfig::LIBMODBUS)
  miv_add_test(test_interop
    SOURCES interop/test_libmodbus_client.cpp interop/test_libmodbus_server.cpp
            support/CoreApplicationMain.cpp
    LABELS Integration)
  target_link_libraries(test_interop PRIVATE miv_test_support PkgConfig::LIBMODBUS)
endif()
