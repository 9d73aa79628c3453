# The MQTT client library of `mivctl publish` (libmosquitto): Debian's
# libmosquitto-dev, or the library of a mosquitto installation on Windows.
# Found without pkg-config, so that any platform configures; where it is
# missing mivctl is built without `publish`, and says so here.
find_path(MOSQUITTO_INCLUDE_DIR mosquitto.h)
find_library(MOSQUITTO_LIBRARY NAMES mosquitto)
if(MOSQUITTO_INCLUDE_DIR AND MOSQUITTO_LIBRARY)
  add_library(Mosquitto::Mosquitto UNKNOWN IMPORTED)
  set_target_properties(Mosquitto::Mosquitto PROPERTIES
    IMPORTED_LOCATION "${MOSQUITTO_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${MOSQUITTO_INCLUDE_DIR}")
  set(MIV_WITH_PUBLISH ON)
else()
  set(MIV_WITH_PUBLISH OFF)
  message(STATUS "libmosquitto not found: mivctl is built without publish")
endif()
