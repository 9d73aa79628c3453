# Helpers shared by the tests: the simulator as a process, running the
# project's programs, serial ports on pseudo-terminals. This file sorts first
# among tests/*.cmake so that the library exists before the tests that link it.
# Tests that use a QSerialPort or a QProcess also list
# support/CoreApplicationMain.cpp among their SOURCES.
find_package(Threads REQUIRED)

add_library(miv_test_support STATIC
  support/ProgramRun.cpp support/ProgramRun.h
  support/SimProcess.cpp support/SimProcess.h
  support/PtySerialPort.cpp support/PtySerialPort.h
)
if(UNIX)
  target_sources(miv_test_support PRIVATE support/PtyBridge.cpp support/PtyBridge.h)
endif()
target_link_libraries(miv_test_support PUBLIC miv_core Qt6::Core Qt6::SerialPort Threads::Threads)
target_include_directories(miv_test_support PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
miv_warnings(miv_test_support)
# The simulator is built before any test that starts it. (mivctl is built by
# the full build; its own tests are not held up by the simulator's.)
if(TARGET mivsim)
  add_dependencies(miv_test_support mivsim)
endif()
