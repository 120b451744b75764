# Writes a tree whose folders a/, b/ and c/ include one another in a ring
# (c/ through a file beside the including one, and a/sub/ off the ring),
# runs the checker on it and expects it to fail naming the ring and the
# include of each step.  Arguments: CHECKER, TREE.
file(REMOVE_RECURSE ${TREE})
file(WRITE ${TREE}/a/x.h "#pragma once\n#include \"b/y.h\"\n#include \"a/sub/w.h\"\n")
file(WRITE ${TREE}/a/sub/w.h "#pragma once\n#include <cstdint>\n")
file(WRITE ${TREE}/b/y.h "#pragma once\n")
file(WRITE ${TREE}/b/y.cpp "  #  include \"c/z.h\"\n#include \"y.h\"\n")
file(WRITE ${TREE}/c/z.h "#pragma once\n#include \"../a/x.h\"\n#include \"generated.inc\"\n")
file(WRITE ${TREE}/build/native/d.h "#include \"a/x.h\"\n")
file(WRITE ${TREE}/d/d.h "#include \"a/x.h\"\n")
execute_process(COMMAND ${CHECKER} ${TREE} RESULT_VARIABLE status OUTPUT_VARIABLE out)
message("${out}")
set(want "include cycle: a/ -> b/ -> c/ -> a/
  a/x.h includes b/y.h
  b/y.cpp includes c/z.h
  c/z.h includes a/x.h
")
if(NOT status EQUAL 1 OR NOT out STREQUAL want)
  message(FATAL_ERROR "expected status 1 and:\n${want}got status ${status}")
endif()
# The same tree without the step back: no cycle.
file(WRITE ${TREE}/c/z.h "#pragma once\n")
execute_process(COMMAND ${CHECKER} ${TREE} RESULT_VARIABLE status OUTPUT_VARIABLE out)
if(NOT status EQUAL 0 OR NOT out MATCHES "^no folder includes a folder that includes it back")
  message(FATAL_ERROR "expected no cycle, got status ${status}: ${out}")
endif()
