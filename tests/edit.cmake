# Editing the configuration grid, the value editor and the configuration write.
miv_add_test(test_edit SOURCES
  edit/EditFixture.h
  edit/test_value_editor.cpp
  edit/test_config_editing.cpp
  edit/test_config_writer.cpp
)
miv_add_test(test_edit_widgets SOURCES edit/test_value_editor_dialog.cpp WIDGETS)
