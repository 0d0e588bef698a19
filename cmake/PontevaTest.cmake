# add_ponteva_test(name SOURCES a.cpp b.cpp LIBS lib1 lib2 [LABELS label...])
# One GoogleTest executable per unit, registered with CTest test by test. Tests labelled
# "wine" run in the Windows step of scripts/test.sh, inside its Wine session.
find_package(GTest REQUIRED)
include(GoogleTest)

function(add_ponteva_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ponteva_testsupport GTest::gtest GTest::gtest_main)
  # A cross-built suite lists its tests when ctest runs, under the emulator and in the
  # environment scripts/test.sh prepares (its own Wine prefix), not while building.
  if(CMAKE_CROSSCOMPILING)
    set(discovery PRE_TEST)
  else()
    set(discovery POST_BUILD)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "PONTEVA_SOURCE_DIR=${PROJECT_SOURCE_DIR}" LABELS "${ARG_LABELS}"
    DISCOVERY_TIMEOUT 60
    DISCOVERY_MODE ${discovery})
endfunction()
