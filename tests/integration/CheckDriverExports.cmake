# Fails unless the dynamic symbols libfennwick.so defines are exactly the
# names listed under "global:" in its export map.
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
message(STATUS "libfennwick.so exports exactly: ${names}")
