# Fails when a Win32 file includes a header of a layer above its own.
#   cmake -DROOT=<source dir> [-DPLANT=<file>|<include line>] -P check-layers.cmake
# PLANT adds one line to one file's scan, to show that the check bites.
#
# The layers, from the bottom. A file may include its own layer's headers,
# those of the layers below it and the portable core (any folder without win32/).
set(layers common output library calc ui shell)

if(DEFINED PLANT)
  string(FIND "${PLANT}" "|" bar)
  string(SUBSTRING "${PLANT}" 0 ${bar} plant_file)
  math(EXPR bar "${bar} + 1")
  string(SUBSTRING "${PLANT}" ${bar} -1 plant_line)
endif()

set(faults "")
foreach(layer ${layers})
  list(FIND layers ${layer} level)
  file(GLOB sources RELATIVE ${ROOT} ${ROOT}/${layer}/win32/*.cpp ${ROOT}/${layer}/win32/*.h)
  foreach(source ${sources})
    file(STRINGS ${ROOT}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    if(DEFINED plant_file AND source STREQUAL plant_file)
      list(APPEND lines "${plant_line}")
    endif()
    foreach(line ${lines})
      if(line MATCHES "\"([a-z_]+)/win32/[^\"]*\"")
        list(FIND layers ${CMAKE_MATCH_1} included)
        if(included GREATER level OR included EQUAL -1)
          string(STRIP "${line}" line)
          list(APPEND faults "${source}: ${line} reaches up from ${layer} to ${CMAKE_MATCH_1}")
        endif()
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "Upward includes:\n${text}")
endif()
