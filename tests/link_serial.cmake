# INI file, port settings, interface word, the port setup flow (on the in-process line).
miv_add_test(test_link_settings SOURCES
  link/test_ini_file.cpp
  link/test_port_settings.cpp
  link/test_port_setup.cpp
)
# The serial link on pseudo-terminals.
miv_add_test(test_serial_link SOURCES link/test_serial_link.cpp LABELS Integration)
# mivctl: options, the command table, the console operator, the program's exit statuses.
miv_add_test(test_mivctl SOURCES cli/test_mivctl.cpp)
target_link_libraries(test_mivctl PRIVATE miv_cli)
add_dependencies(test_mivctl mivctl)
# The port setup dialog.
miv_add_test(test_port_setup_dialog SOURCES link/test_port_setup_dialog.cpp WIDGETS)
add_dependencies(test_serial_link mivsim)
