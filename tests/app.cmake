miv_add_test(test_app_logic SOURCES
  app/test_action_enabling.cpp
  app/test_action_table.cpp
  app/test_tab_visibility.cpp
  app/test_lamp.cpp)

miv_add_test(test_app_window WIDGETS SOURCES
  app/WidgetTestMain.cpp
  app/test_main_window.cpp
  app/test_data_module.cpp
  support/PtyBridge.cpp)
# The about test loads the real library from the program folder.
add_dependencies(test_app_window about)

# The operator's road through the window against the simulated relays on the loopback line.
miv_add_test(test_window_flow WIDGETS LABELS Integration SOURCES
  app/WidgetTestMain.cpp
  app/test_window_flow.cpp)
target_link_libraries(test_window_flow PRIVATE miv_test_support)
