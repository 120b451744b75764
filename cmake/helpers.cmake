# bq_add_test(NAME SOURCES... LIBS ... [PREFIX P]): a GoogleTest program that
# runs in both builds; under win32 ctest runs it through the Wine runner.
# Tests are listed when ctest starts (PRE_TEST), so the build never runs
# Wine.  PREFIX goes in front of every test's name, for a second program
# built from the same tests.
function(bq_add_test name)
  cmake_parse_arguments(T "" "PREFIX" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main)
  if(WIN32)
    # Console program; the Wine runner captures its output.
    target_link_options(${name} PRIVATE -mconsole)
  endif()
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
    TEST_PREFIX "${T_PREFIX}" PROPERTIES TIMEOUT 300)
endfunction()
