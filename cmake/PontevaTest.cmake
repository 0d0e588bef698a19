# add_ponteva_test(name SOURCES a.cpp b.cpp LIBS lib1 lib2)
# One GoogleTest executable per unit, registered with CTest test by test.
find_package(GTest REQUIRED)
include(GoogleTest)

function(add_ponteva_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} ponteva_testsupport GTest::gtest GTest::gtest_main)
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES ENVIRONMENT "PONTEVA_SOURCE_DIR=${PROJECT_SOURCE_DIR}"
    DISCOVERY_TIMEOUT 60)
endfunction()
