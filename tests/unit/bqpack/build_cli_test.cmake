# bqpack build from the command line: exit statuses, one-line messages, no
# output on failure, and byte-identical results for the same inputs.
# -DBQPACK=tool -DDATA=test data folder -DWORK=scratch folder
# [-DRUNTIME=installer runtime folder: also link setup.exe]
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/one ${WORK}/two ${WORK}/usage)

function(run expected_status)
  execute_process(COMMAND ${BQPACK} build ${ARGN} RESULT_VARIABLE status
    OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT status EQUAL expected_status)
    message(FATAL_ERROR "bqpack build ${ARGN}: status ${status}, expected ${expected_status}\n${err}")
  endif()
  set(err "${err}" PARENT_SCOPE)
endfunction()

function(expect_message pattern)
  string(REGEX MATCHALL "\n" lines "${err}")
  list(LENGTH lines count)
  if(NOT count EQUAL 1 OR NOT err MATCHES "${pattern}")
    message(FATAL_ERROR "expected one line matching ${pattern}, got:\n${err}")
  endif()
endfunction()

function(expect_same a b)
  file(SHA256 ${a} ha)
  file(SHA256 ${b} hb)
  if(NOT ha STREQUAL hb)
    message(FATAL_ERROR "${a} and ${b} differ")
  endif()
endfunction()

# The same manifest twice, with different thread counts: identical sources.
run(0 ${DATA}/full.bqm --sources-only ${WORK}/one --quiet --jobs 1)
run(0 ${DATA}/full.bqm --sources-only ${WORK}/two --quiet --jobs 2)
foreach(f package_blob.bin package_table.cpp package_table.h)
  expect_same(${WORK}/one/${f} ${WORK}/two/${f})
endforeach()

# A bad manifest: one line naming file and line, status 2, nothing written.
set(bad ${WORK}/bad.bqm)
file(WRITE ${bad} "config = ${DATA}/short.inz\n")
foreach(i 1 2 3 4 5 6 7)
  file(APPEND ${bad} "file = f${i} ${DATA}/one.bin\n")
endforeach()
file(MAKE_DIRECTORY ${WORK}/bad)
run(2 ${bad} --sources-only ${WORK}/bad -o ${WORK}/bad.exe)
expect_message("^bqpack: .*/bad\\.bqm:8: more than 6 files; a package holds at most 6\n$")
file(GLOB left ${WORK}/bad/* ${WORK}/bad.exe*)
if(left)
  message(FATAL_ERROR "a failed build left ${left}")
endif()

# Deliberate faults only with --allow-broken.
file(WRITE ${WORK}/broken.bqm "config = ${DATA}/short.inz\nbroken-config-length = 4097\n")
run(2 ${WORK}/broken.bqm --sources-only ${WORK}/bad)
expect_message(":2: broken-config-length builds a deliberately broken package; it needs --allow-broken\n$")
run(0 ${WORK}/broken.bqm --sources-only ${WORK}/bad --allow-broken --quiet)

# A missing input names the manifest line and the file.
file(WRITE ${WORK}/missing.bqm "config = ${DATA}/short.inz\nfile = a ${WORK}/no-such-file\n")
run(2 ${WORK}/missing.bqm --sources-only ${WORK}/one)
expect_message("missing\\.bqm:2: .*/no-such-file: cannot read: ")

# Usage errors: status 1, one line naming the mistake, nothing written.
run(1 ${DATA}/full.bqm)
foreach(args "--frobnicate" "-D;NOEQUALS" "--chunk-size;0" "--jobs;0" "${DATA}/empty.bqm")
  run(1 ${DATA}/full.bqm --sources-only ${WORK}/usage ${args})
  expect_message("^bqpack: .* \\(see bqpack build --help\\)\n$")
endforeach()
file(GLOB left ${WORK}/usage/*)
if(left)
  message(FATAL_ERROR "a usage error left ${left}")
endif()

# An output folder that does not exist: the output cannot be written.
run(3 ${DATA}/full.bqm --sources-only ${WORK}/no-such-folder)

if(RUNTIME)
  # Linked installers: the same inputs give the same image.
  run(0 ${DATA}/full.bqm --runtime ${RUNTIME} -o ${WORK}/one/setup.exe --quiet --jobs 1)
  run(0 ${DATA}/full.bqm --runtime ${RUNTIME} -o ${WORK}/two/setup.exe --quiet --jobs 2)
  expect_same(${WORK}/one/setup.exe ${WORK}/two/setup.exe)
  file(READ ${WORK}/one/setup.exe head LIMIT 2 HEX)
  if(NOT head STREQUAL "4d5a")
    message(FATAL_ERROR "setup.exe is not a Windows image")
  endif()
  # A failing compiler leaves neither the output nor a partial file.
  run(3 ${DATA}/full.bqm --runtime ${RUNTIME} --cxx false -o ${WORK}/failed.exe --quiet)
  expect_message("failed\\.exe: the compiler false failed")
  if(EXISTS ${WORK}/failed.exe OR EXISTS ${WORK}/failed.exe.part)
    message(FATAL_ERROR "a failed link left an output file")
  endif()
endif()
