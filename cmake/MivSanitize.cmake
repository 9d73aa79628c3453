# MIV_SANITIZE builds every target of the project with AddressSanitizer and
# UndefinedBehaviorSanitizer: memory errors, leaks and undefined behaviour stop
# the program with a report instead of passing unnoticed. scripts/test-sanitized
# configures such a build and runs the tests in it.
#
# Included before the first target, so that the directory-wide options reach
# every library, program and test below. Undefined behaviour is fatal
# (-fno-sanitize-recover), so that a report fails the test that caused it.
# gcc leaves a floating-point value out of an integer's range out of
# "undefined"; the values typed by the operator and read from files pass
# through such conversions, so it is asked for by name.
option(MIV_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

if(MIV_SANITIZE)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
    message(FATAL_ERROR "MIV_SANITIZE needs gcc or clang, not ${CMAKE_CXX_COMPILER_ID}")
  endif()
  set(miv_sanitize_flags -fsanitize=address,undefined,float-cast-overflow -fno-omit-frame-pointer
    -fno-sanitize-recover=undefined,float-cast-overflow)
  add_compile_options(${miv_sanitize_flags})
  add_link_options(${miv_sanitize_flags})
endif()
