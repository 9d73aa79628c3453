miv_add_test(test_config SOURCES
  config/test_parameter_catalogue.cpp
  config/test_value_format.cpp
  config/test_config_grid.cpp
  config/test_timer_schedule.cpp
  config/test_config_reader.cpp
)
miv_add_test(test_config_widgets SOURCES config/test_picture_delegate.cpp WIDGETS)
