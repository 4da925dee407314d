# Fails unless the dynamic symbols libfennwick.so defines are exactly the
# names listed under "global:" in its export map, and those are exactly the
# functions the public header declares for hosts (TALVEX_IPCAPTURE_EXPORT).
# cmake -DNM=nm -DLIBRARY=libfennwick.so -DEXPORT_MAP=fennwick.map -P CheckDriverExports.cmake
cmake_policy(VERSION 3.25)

# nm lines: "<address> <type> <name>"; the name is the last field.
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
                OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^ \n]+\n" names "${symbols}")
list(TRANSFORM names STRIP)
list(SORT names)

file(READ ${EXPORT_MAP} map)
string(REGEX MATCH "global:([^}]*)local:" block "${map}")
string(REPLACE ";" " " block "${CMAKE_MATCH_1}")
string(REGEX MATCHALL "[A-Za-z_][A-Za-z0-9_]*" expected "${block}")
list(SORT expected)

if(NOT names STREQUAL expected OR names STREQUAL "")
  message(FATAL_ERROR "libfennwick.so exports:\n  ${names}\nexpected exactly:\n  ${expected}")
endif()

# "TALVEX_IPCAPTURE_EXPORT <type> <name>(": the name is the word before the parenthesis.
file(READ ${CMAKE_CURRENT_LIST_DIR}/../../include/talvex/ipcapture/Exports.h header)
string(REGEX MATCHALL "\nTALVEX_IPCAPTURE_EXPORT [^(]*\\(" declarations "${header}")
set(declared "")
foreach(declaration IN LISTS declarations)
  string(REGEX MATCH "([A-Za-z_][A-Za-z0-9_]*)\\($" name "${declaration}")
  list(APPEND declared ${CMAKE_MATCH_1})
endforeach()
list(SORT declared)
if(NOT declared STREQUAL expected)
  message(FATAL_ERROR "Exports.h declares:\n  ${declared}\nthe export map lists:\n  ${expected}")
endif()
message(STATUS "libfennwick.so exports exactly: ${names}")
