# bqpack build from the command line: exit statuses, one-line messages, no
# output on failure, and byte-identical results for the same inputs.
# -DBQPACK=tool -DDATA=test data folder -DWORK=scratch folder
# -DSTUB=installer stub -DARCH=x86|x64 -DFOREIGN=a program that is no stub
# (the Windows trees: also what only a real stub shows), or
# -DTEST_STUB_WRITER=the program that writes a test stub (the native tree)
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/one ${WORK}/two ${WORK}/usage)
if(STUB)
  set(any_stub ${STUB})
else()
  set(any_stub ${WORK}/test-stub.exe)
  execute_process(COMMAND ${TEST_STUB_WRITER} x86 ${any_stub} RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "no test stub: ${status}")
  endif()
endif()

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

# The same manifest twice, with different thread counts: identical installers.
run(0 ${DATA}/full.bqm --stub ${any_stub} -o ${WORK}/one/setup.exe --quiet --jobs 1)
run(0 ${DATA}/full.bqm --stub ${any_stub} -o ${WORK}/two/setup.exe --quiet --jobs 2)
expect_same(${WORK}/one/setup.exe ${WORK}/two/setup.exe)

# A bad manifest: one line naming file and line, status 2, nothing written.
set(bad ${WORK}/bad.bqm)
file(WRITE ${bad} "config = ${DATA}/short.inz\n")
foreach(i 1 2 3 4 5 6 7)
  file(APPEND ${bad} "file = f${i} ${DATA}/one.bin\n")
endforeach()
file(MAKE_DIRECTORY ${WORK}/bad)
run(2 ${bad} --stub ${any_stub} -o ${WORK}/bad/setup.exe)
expect_message("^bqpack: .*/bad\\.bqm:8: more than 6 files; a package holds at most 6\n$")
file(GLOB left ${WORK}/bad/* ${WORK}/bad.exe*)
if(left)
  message(FATAL_ERROR "a failed build left ${left}")
endif()


# A missing input names the manifest line and the file.
file(WRITE ${WORK}/missing.bqm "config = ${DATA}/short.inz\nfile = a ${WORK}/no-such-file\n")
run(2 ${WORK}/missing.bqm --stub ${any_stub} -o ${WORK}/usage/setup.exe --quiet)
expect_message("missing\\.bqm:2: .*/no-such-file: cannot read: ")

# Usage errors: status 1, one line naming the mistake, nothing written.
run(1 ${DATA}/full.bqm)
foreach(args "--frobnicate" "-D;NOEQUALS" "--chunk-size;0" "--jobs;0" "${DATA}/empty.bqm")
  run(1 ${DATA}/full.bqm --stub ${any_stub} -o ${WORK}/usage/setup.exe ${args})
  expect_message("^bqpack build: .* \\(see bqpack build --help\\)\n$")
endforeach()
file(GLOB left ${WORK}/usage/*)
if(left)
  message(FATAL_ERROR "a usage error left ${left}")
endif()

# An output folder that does not exist: the output cannot be written.
run(3 ${DATA}/full.bqm --stub ${any_stub} -o ${WORK}/no-such-folder/setup.exe)

# Inputs that are no files, or too large, are refused before any is read:
# a 3 GiB input (sparse, so it costs nothing) with one line, at once.
file(MAKE_DIRECTORY ${WORK}/a-folder)
run(2 ${WORK}/a-folder --stub ${any_stub} -o ${WORK}/usage/setup.exe)
expect_message("a-folder: not a regular file \\(a folder, device or FIFO is never read\\)\n$")
execute_process(COMMAND truncate -s 3G ${WORK}/huge.bin)
file(WRITE ${WORK}/huge.bqm "config = ${DATA}/short.inz\nfile = small ${DATA}/one.bin\nfile = huge ${WORK}/huge.bin\n")
run(2 ${WORK}/huge.bqm --stub ${any_stub} -o ${WORK}/usage/setup.exe --quiet)
expect_message("huge\\.bqm:3: .*/huge\\.bin: larger than 2147483647 bytes, the most a package takes\n$")
file(REMOVE ${WORK}/huge.bin)
file(WRITE ${WORK}/folder-input.bqm "config = ${DATA}/short.inz\nfile = f ${WORK}/a-folder\n")
run(2 ${WORK}/folder-input.bqm --stub ${any_stub} -o ${WORK}/usage/setup.exe --quiet)
expect_message("folder-input\\.bqm:2: .*/a-folder: not a file\n$")

# An installer is what build writes: -o names it.
run(1 ${DATA}/full.bqm --stub ${any_stub})
expect_message("no output given \\(-o SETUP.EXE\\)")

if(STUB)
  # The architecture asked for is the stub's: the same image.
  run(0 ${DATA}/full.bqm --stub ${STUB} --arch ${ARCH} -o ${WORK}/two/setup.exe --quiet --jobs 2)
  expect_same(${WORK}/one/setup.exe ${WORK}/two/setup.exe)
  file(READ ${WORK}/one/setup.exe head LIMIT 2 HEX)
  if(NOT head STREQUAL "4d5a")
    message(FATAL_ERROR "setup.exe is not a Windows image")
  endif()
  # The stub of the other architecture is asked for: refused.
  if(ARCH STREQUAL "x86")
    set(other x64)
  else()
    set(other x86)
  endif()
  run(2 ${DATA}/full.bqm --stub ${STUB} --arch ${other} -o ${WORK}/failed.exe --quiet)
  expect_message("an ${ARCH} stub, not ${other}\n$")

  # Stubs that are not ours or are damaged: one line, status 2, no output.
  # They are made with coreutils, as CMake writes no arbitrary bytes.
  file(SIZE ${STUB} stub_size)
  math(EXPR half "${stub_size} / 2")
  execute_process(COMMAND head -c ${half} ${STUB} OUTPUT_FILE ${WORK}/truncated.exe)
  file(READ ${STUB} stub HEX)
  string(FIND "${stub}" "4251504b47535455420000000100" anchor) # "BQPKGSTUB", version 1
  if(anchor LESS 0)
    message(FATAL_ERROR "no anchor in ${STUB}")
  endif()
  math(EXPR version_at "${anchor} / 2 + 12")
  file(COPY_FILE ${STUB} ${WORK}/version2.exe)
  execute_process(COMMAND sh -c "printf '\\002' | dd of=${WORK}/version2.exe bs=1 seek=${version_at} conv=notrunc status=none")
  file(COPY_FILE ${STUB} ${WORK}/appended.exe)
  file(APPEND ${WORK}/appended.exe "x")
  foreach(case "truncated.exe;truncated" "version2.exe;format version 2; this bqpack writes version 1"
      "appended.exe;1 bytes follow its sections" "${FOREIGN};no package section"
      "${WORK}/one/setup.exe;already holds a package")
    list(GET case 0 stub_file)
    list(GET case 1 why)
    if(NOT IS_ABSOLUTE ${stub_file})
      set(stub_file ${WORK}/${stub_file})
    endif()
    run(2 ${DATA}/full.bqm --stub ${stub_file} -o ${WORK}/failed.exe --quiet)
    expect_message("^bqpack: .*: .*${why}")
  endforeach()
  # An interrupted build leaves nothing beside its output.
  file(MAKE_DIRECTORY ${WORK}/interrupted)
  # Base64 text: it compresses, so the encoder works on it for seconds.
  execute_process(COMMAND sh -c "head -c 30000000 /dev/urandom | base64 -w 0"
    OUTPUT_FILE ${WORK}/interrupted/noise.bin)
  file(WRITE ${WORK}/interrupted/big.bqm "config = ${DATA}/short.inz\nfile = noise noise.bin\n")
  execute_process(COMMAND sh -c "${BQPACK} build big.bqm --stub ${STUB} --jobs 1 -o setup.exe 2>/dev/null & pid=$!; sleep 1; kill -INT $pid; wait $pid; echo $?"
    WORKING_DIRECTORY ${WORK}/interrupted OUTPUT_VARIABLE status OUTPUT_STRIP_TRAILING_WHITESPACE)
  file(GLOB left RELATIVE ${WORK}/interrupted ${WORK}/interrupted/*)
  if(NOT status EQUAL 130 OR NOT left STREQUAL "big.bqm;noise.bin")
    message(FATAL_ERROR "an interrupted build ended with ${status} and left ${left}")
  endif()

  # A file of many slices (each compressed and written as it is read): the
  # same installer with one compression thread or three, and it verifies.
  file(MAKE_DIRECTORY ${WORK}/slices)
  execute_process(COMMAND head -c 3000000 ${WORK}/interrupted/noise.bin
    OUTPUT_FILE ${WORK}/slices/part.bin)
  file(WRITE ${WORK}/slices/slices.bqm "config = ${DATA}/short.inz\nfile = part part.bin\n")
  foreach(jobs 1 3)
    run(0 ${WORK}/slices/slices.bqm --stub ${STUB} --chunk-size 4096 --jobs ${jobs}
      -o ${WORK}/slices/setup-${jobs}.exe --quiet)
  endforeach()
  expect_same(${WORK}/slices/setup-1.exe ${WORK}/slices/setup-3.exe)
  execute_process(COMMAND ${BQPACK} verify ${WORK}/slices/setup-3.exe
    RESULT_VARIABLE status OUTPUT_VARIABLE out)
  if(NOT status EQUAL 0 OR NOT out MATCHES "part: ok \\(3000000 bytes from ")
    message(FATAL_ERROR "the installer of many slices does not verify: ${status} ${out}")
  endif()

  # A missing output folder is found before any compression.
  run(3 ${DATA}/full.bqm --stub ${STUB} -o ${WORK}/no-such-folder/setup.exe)
  expect_message("the folder .*/no-such-folder does not exist
$")
  if(EXISTS ${WORK}/failed.exe)
    message(FATAL_ERROR "a refused stub left an output file")
  endif()

  # Where a bare copy of bqpack looks for its stub: beside itself, in
  # ../share/bqpack, then in the folders of $BQPACK_STUB_PATH, and nowhere
  # else (no path of the tree it was built in); it says where it looked.
  set(bare ${WORK}/bare)
  file(REMOVE_RECURSE ${bare})
  file(MAKE_DIRECTORY ${bare}/bin ${bare}/stubs)
  file(COPY_FILE ${BQPACK} ${bare}/bin/bqpack)
  file(COPY_FILE ${STUB} ${bare}/stubs/setup-stub-${ARCH}.exe)
  execute_process(COMMAND env -u BQPACK_STUB_PATH ${bare}/bin/bqpack build ${DATA}/full.bqm
      --arch ${ARCH} -o ${WORK}/failed.exe --quiet
    RESULT_VARIABLE status ERROR_VARIABLE err)
  if(NOT status EQUAL 2)
    message(FATAL_ERROR "a bare bqpack with no stub ended with ${status}: ${err}")
  endif()
  expect_message("^bqpack: no installer stub setup-stub-${ARCH}\\.exe: looked in ${bare}/bin, ${bare}/bin/\\.\\./share/bqpack, \\$BQPACK_STUB_PATH \\(not set\\) \\(give --stub FILE\\)\n$")
  execute_process(COMMAND env BQPACK_STUB_PATH=${bare}/none::${bare}/stubs ${bare}/bin/bqpack
      build ${DATA}/full.bqm --arch ${ARCH} -o ${WORK}/bare/setup.exe --jobs 1
    RESULT_VARIABLE status ERROR_VARIABLE err)
  if(NOT status EQUAL 0 OR NOT err MATCHES "bqpack: stub ${bare}/stubs/setup-stub-${ARCH}\\.exe \\(${ARCH}\\)\n")
    message(FATAL_ERROR "bqpack did not take the stub of BQPACK_STUB_PATH: ${status} ${err}")
  endif()
  expect_same(${WORK}/one/setup.exe ${WORK}/bare/setup.exe)
  if(EXISTS ${WORK}/failed.exe)
    message(FATAL_ERROR "a build without a stub left an output file")
  endif()
endif()
