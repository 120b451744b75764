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

# The installer's code is built for size, and so is everything it links (in
# the Windows builds; natively only the benchmark's copies of the installer's
# decoder and MD5).  No -fdata-sections: MinGW then places zero-filled
# variables in .data$ sections, so the decoder's 150 KiB of work areas would
# be stored in the image instead of taking uninitialised space.
# No stack probes: no frame reaches a page (4096 bytes), which the frame
# limit and the bans on variable-length arrays and alloca keep so, and a
# frame below a page cannot step over the stack's guard page.  Probing
# would make the 32-bit compiler reserve every call's argument space in
# each frame instead of pushing arguments, a tenth of the code.
set(BQ_SETUP_SIZE_OPTIONS -Oz -ffunction-sections -fno-exceptions -fno-rtti
  -fno-asynchronous-unwind-tables -fno-threadsafe-statics
  -mno-stack-arg-probe -Wframe-larger-than=4000 -Wvla -Walloca)
