miv_add_test(test_access SOURCES access/test_password_access.cpp)
miv_add_test(test_access_widgets SOURCES access/test_password_field.cpp WIDGETS)
