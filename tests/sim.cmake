# The simulated relays: the register map and its limits, the line's faults,
# the simulator's command line and log; and mivsim as a program.
miv_add_test(test_sim SOURCES
  sim/test_relay_model.cpp
  sim/test_relay_line.cpp
  sim/test_sim_options.cpp)

if(UNIX)
  miv_add_test(test_mivsim SOURCES sim/test_mivsim_program.cpp support/CoreApplicationMain.cpp LABELS Integration)
  target_link_libraries(test_mivsim PRIVATE miv_test_support)
endif()
