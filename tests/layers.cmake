# Checks that each folder of src/ includes only from the folders below it:
# a widget that reached into a form, or a form into the component entry,
# fails here before a reviewer has to find it.
# Usage: cmake -DSRC=<src folder> -P layers.cmake
if(NOT SRC)
  message(FATAL_ERROR "give -DSRC=<the src folder>")
endif()

# Each folder and the folders its sources may include (its own is always allowed).
set(may_data "")
set(may_com "")
set(may_decrypt "")
# config.ini and the files a workstation runs on, among them the database a
# connection string names (data/connection_string): data is below everything.
set(may_config "decrypt;data")
set(may_schema "data")
set(may_session "data;schema;config")
set(may_widgets "data;schema;config")
set(may_dialogs "widgets;session;schema;data;config")
set(may_editors "widgets;session;schema;data;config")
set(may_forms "editors;dialogs;widgets;session;schema;data;config")
set(may_component "forms;editors;dialogs;widgets;session;schema;data;config;com;decrypt")

set(faults "")
file(GLOB folders RELATIVE ${SRC} ${SRC}/*)
foreach(folder ${folders})
  if(NOT IS_DIRECTORY ${SRC}/${folder} OR folder STREQUAL "cmake")
    continue()
  endif()
  if(NOT DEFINED may_${folder})
    list(APPEND faults "src/${folder}: a folder with no place among the layers")
    continue()
  endif()
  file(GLOB_RECURSE sources ${SRC}/${folder}/*.h ${SRC}/${folder}/*.cpp)
  foreach(source ${sources})
    file(STRINGS ${source} includes REGEX "^#include \"[a-z_]+/")
    foreach(line ${includes})
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" used "${line}")
      if(used STREQUAL folder)
        continue()
      endif()
      list(FIND may_${folder} ${used} at)
      if(at EQUAL -1)
        file(RELATIVE_PATH shown ${SRC}/.. ${source})
        list(APPEND faults "${shown} includes ${used}/, which is not below ${folder}/")
      endif()
    endforeach()
  endforeach()
endforeach()

if(faults)
  list(JOIN faults "\n  " text)
  message(FATAL_ERROR "layers looked up:\n  ${text}")
endif()
