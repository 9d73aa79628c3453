# Settings files and the timer schedule: saving and loading *.miv files, the
# timer write, the timer tab's binding, and mivctl timer against mivsim.
miv_add_test(test_files SOURCES
  files/test_settings_file.cpp
  files/test_timer_writer.cpp
)
miv_add_test(test_files_widgets SOURCES files/test_timer_tab_binding.cpp WIDGETS)
if(UNIX)
  miv_add_test(test_files_mivctl SOURCES files/test_mivctl_timer.cpp support/CoreApplicationMain.cpp LABELS Integration)
  target_link_libraries(test_files_mivctl PRIVATE miv_test_support)
  add_dependencies(test_files_mivctl mivctl)
endif()
