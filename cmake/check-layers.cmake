# Fails when a file includes what its layer may not.
#   cmake -DROOT=<source dir> [-DPLANT=<file>|<include line>] -P check-layers.cmake
# PLANT adds one line to one file's scan, to show that the check bites.
#
# fenlop.exe's Win32 layers, from the bottom. A file may include its own
# layer's headers, those of the layers below it and the portable core (any
# folder without win32/), never setup.exe's.
set(layers common output library calc ui shell)
# setup.exe's Win32 layer stands beside them: it includes the portable core
# and its own headers only, and its own resource ids, not fenlop.exe's.
# The portable core (every product folder outside win32/) includes no Win32
# layer and no Windows header, but for these files, whose few calls of the
# system stand behind #ifdef _WIN32 beside their POSIX twins.
set(core_folders common library shell calc setup output tools resources)
set(platform_files
  common/safe_file.cpp
  common/writer_lock.cpp
  library/library_files.cpp
  output/phrase_fill.cpp
  tools/flp_spill.cpp
  tools/flp_text.cpp)
set(windows_headers windows winbase winuser wingdi winreg shellapi shlobj commctrl commdlg objbase ole2)
list(JOIN windows_headers "|" windows_pattern)

if(DEFINED PLANT)
  string(FIND "${PLANT}" "|" bar)
  string(SUBSTRING "${PLANT}" 0 ${bar} plant_file)
  math(EXPR bar "${bar} + 1")
  string(SUBSTRING "${PLANT}" ${bar} -1 plant_line)
endif()

# The include lines of source (a path below ROOT), with the planted one.
function(read_includes source out)
  file(STRINGS ${ROOT}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<]")
  if(DEFINED plant_file AND source STREQUAL plant_file)
    list(APPEND lines "${plant_line}")
  endif()
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

set(faults "")
foreach(layer ${layers})
  list(FIND layers ${layer} level)
  file(GLOB sources RELATIVE ${ROOT} ${ROOT}/${layer}/win32/*.cpp ${ROOT}/${layer}/win32/*.h)
  foreach(source ${sources})
    read_includes(${source} lines)
    foreach(line ${lines})
      string(STRIP "${line}" line)
      if(line MATCHES "\"([a-z_]+)/win32/[^\"]*\"")
        list(FIND layers ${CMAKE_MATCH_1} included)
        if(included GREATER level OR included EQUAL -1)
          list(APPEND faults "${source}: ${line} reaches up from ${layer} to ${CMAKE_MATCH_1}")
        endif()
      elseif(line MATCHES "\"resources/setup_resource.h\"")
        list(APPEND faults "${source}: ${line} is setup.exe's")
      endif()
    endforeach()
  endforeach()
endforeach()

file(GLOB sources RELATIVE ${ROOT} ${ROOT}/setup/win32/*.cpp ${ROOT}/setup/win32/*.h)
foreach(source ${sources})
  read_includes(${source} lines)
  foreach(line ${lines})
    string(STRIP "${line}" line)
    if(line MATCHES "\"([a-z_]+)/win32/[^\"]*\"" AND NOT CMAKE_MATCH_1 STREQUAL "setup")
      list(APPEND faults "${source}: ${line} is fenlop.exe's Win32 layer")
    elseif(line MATCHES "\"resources/resource.h\"")
      list(APPEND faults "${source}: ${line} holds fenlop.exe's ids")
    endif()
  endforeach()
endforeach()

foreach(folder ${core_folders})
  file(GLOB_RECURSE sources RELATIVE ${ROOT} ${ROOT}/${folder}/*.cpp ${ROOT}/${folder}/*.h)
  foreach(source ${sources})
    if(source MATCHES "(^|/)win32/")
      continue()
    endif()
    list(FIND platform_files ${source} platform)
    read_includes(${source} lines)
    foreach(line ${lines})
      string(STRIP "${line}" line)
      if(line MATCHES "\"[a-z_]+/win32/[^\"]*\"")
        list(APPEND faults "${source}: ${line} brings a Win32 layer into the portable core")
      elseif(platform EQUAL -1 AND line MATCHES "<(${windows_pattern})\\.h>")
        list(APPEND faults "${source}: ${line} in the portable core")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n" text)
  message(FATAL_ERROR "Includes out of their layer:\n${text}")
endif()
