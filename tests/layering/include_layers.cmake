# Each folder includes only its own headers and those of the layers below it:
# wire -> usblink -> portio -> plrapi (portio.h and the byte-order helpers only); the update
# engine never includes the wizard; the simulated player includes nothing of
# the host side.
# Run as: cmake -DSOURCE_DIR=<root> -P include_layers.cmake
cmake_policy(SET CMP0007 NEW)

# folder;allowed include prefixes (the folder itself is always allowed)
set(layers
  "wire|"
  "platform|sim/bus.h"
  "sim|"
  "usblink|wire/ platform/"
  "portio|portio.h wire/ usblink/ platform/"
  "plrapi|portio.h plrapi.h platform/ wire/byte_order.h"
  "updater/resources|"
  "updater/engine|wire/ usblink/ platform/ updater/resources/"
  "updater/wizard|wire/ usblink/ platform/ updater/resources/ updater/engine/"
  "updater/window|platform/ updater/resources/ updater/engine/ updater/wizard/"
  "tools/qrm284|portio.h plrapi.h plrapi/upload_preview.h plrapi/voice_wav_header.h plrapi/storable_name.h wire/byte_order.h usblink/link_settings.h platform/ updater/engine/ updater/wizard/ updater/resources/"
)

set(violations "")
foreach(layer IN LISTS layers)
  string(REPLACE "|" ";" parts "${layer}")
  list(GET parts 0 folder)
  list(LENGTH parts count)
  set(allowed "${folder}/")
  if(count GREATER 1)
    list(GET parts 1 extra)
    separate_arguments(extra)
    list(APPEND allowed ${extra})
  endif()
  file(GLOB_RECURSE sources "${SOURCE_DIR}/${folder}/*.h" "${SOURCE_DIR}/${folder}/*.cpp")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^#include \"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([^\"]+)\".*" "\\1" header "${line}")
      set(ok FALSE)
      foreach(prefix IN LISTS allowed)
        string(FIND "${header}" "${prefix}" at)
        if(at EQUAL 0)
          set(ok TRUE)
        endif()
      endforeach()
      # Only the in-process simulator backend may reach the simulated player.
      if(folder STREQUAL "platform" AND header STREQUAL "sim/bus.h" AND NOT source MATCHES "platform/usb/sim_backend.cpp$")
        set(ok FALSE)
      endif()
      if(NOT ok)
        file(RELATIVE_PATH shown "${SOURCE_DIR}" "${source}")
        string(APPEND violations "  ${shown} includes \"${header}\"\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "Includes that reach across the layers:\n${violations}")
endif()
message(STATUS "Every folder includes only its own layer and those below it.")
