# The report's workbook writer: workbooks read back by an independent reader
# (Debian's python3-xlrd under /usr/bin/python3, through report/read_xls.py).
miv_add_test(test_xls_workbook SOURCES report/test_xls_workbook.cpp support/CoreApplicationMain.cpp)
target_link_libraries(test_xls_workbook PRIVATE miv_test_support)
target_compile_definitions(test_xls_workbook PRIVATE
  MIV_READ_XLS_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/report/read_xls.py")
