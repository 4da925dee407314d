# Helpers shared by every folder's CMakeLists.txt.
include(GoogleTest)

# Everything the sanitizer run needs (the unit test executables and the fuzz
# targets), so that build can leave out the host, camsim and the benchmarks.
add_custom_target(fennwick_unit_suite)

# fennwick_add_library(NAME SOURCES ... DEPS ...)
# A static, position-independent library of one subsystem; the driver's shared
# library links them, tests link them directly.
function(fennwick_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC fennwick_abi Threads::Threads ${ARG_DEPS})
endfunction()

# fennwick_add_test(NAME LABEL unit|integration|interop|slow SOURCES ... DEPS ... [RESOURCE_LOCK lock])
# One GoogleTest executable; every test case becomes a CTest test with the label.
function(fennwick_add_test name)
  cmake_parse_arguments(ARG "" "LABEL;TIMEOUT" "SOURCES;DEPS;RESOURCE_LOCK" ${ARGN})
  if(NOT ARG_LABEL)
    set(ARG_LABEL unit)
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  add_executable(${name} ${ARG_SOURCES})
  # Test code itself is never what is measured; unoptimised it compiles in about
  # half the time. The code under test keeps the build type's optimisation.
  target_compile_options(${name} PRIVATE -O0)
  target_link_libraries(${name} PRIVATE fennwick_test_support GTest::gtest_main GTest::gmock ${ARG_DEPS})
  if(ARG_LABEL STREQUAL "unit")
    add_dependencies(fennwick_unit_suite ${name})
  endif()
  target_compile_definitions(${name} PRIVATE
    FENNWICK_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
    FENNWICK_BINARY_DIR="${PROJECT_BINARY_DIR}")
  set(props LABELS ${ARG_LABEL} TIMEOUT ${ARG_TIMEOUT})
  if(ARG_RESOURCE_LOCK)
    list(APPEND props RESOURCE_LOCK "${ARG_RESOURCE_LOCK}")
  endif()
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ${props})
endfunction()

# fennwick_test_runs_host(NAME)
# A test that runs fennwick-host with libfennwick.so: both paths are compiled in
# and both are built before the test.
function(fennwick_test_runs_host name)
  target_compile_definitions(${name} PRIVATE
    FENNWICK_HOST_EXECUTABLE="$<TARGET_FILE:fennwick-host>"
    FENNWICK_DRIVER_LIBRARY="$<TARGET_FILE:fennwick>")
  add_dependencies(${name} fennwick-host fennwick)
endfunction()

# fennwick_add_fuzzer(NAME SOURCES ... DEPS ... CORPUS dir)
# A libFuzzer target, built only with FENNWICK_FUZZ (clang); the smoke run in
# scripts/test runs each one briefly over its seed corpus.
function(fennwick_add_fuzzer name)
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;DEPS" ${ARGN})
  if(NOT FENNWICK_FUZZ)
    return()
  endif()
  add_executable(${name} ${ARG_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  add_dependencies(fennwick_unit_suite ${name})
  # Smoke run: new inputs go to a scratch folder, the committed seeds are only read.
  set(scratch ${CMAKE_CURRENT_BINARY_DIR}/${name}.corpus)
  add_test(NAME ${name}.smoke
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=1
            $<TARGET_FILE:${name}> -max_total_time=${FENNWICK_FUZZ_SECONDS} -timeout=10 -rss_limit_mb=2048
            ${scratch} ${ARG_CORPUS})
  set_tests_properties(${name}.smoke PROPERTIES LABELS fuzz TIMEOUT 300)
  file(MAKE_DIRECTORY ${scratch})
endfunction()
