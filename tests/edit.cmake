# Editing the configuration grid, the value editor and the configuration write.
miv_add_test(test_edit SOURCES
  edit/EditFixture.h
  edit/test_value_editor.cpp
  edit/test_config_editing.cpp
  edit/test_config_writer.cpp
)
miv_add_test(test_edit_widgets SOURCES edit/test_value_editor_dialog.cpp WIDGETS)
if(UNIX)
  # mivctl config read/write and password against mivsim on a pseudo-terminal.
  miv_add_test(test_edit_mivctl SOURCES edit/test_mivctl_edit.cpp support/CoreApplicationMain.cpp LABELS Integration)
  target_link_libraries(test_edit_mivctl PRIVATE miv_test_support)
  add_dependencies(test_edit_mivctl mivctl)
endif()
