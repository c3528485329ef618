# Runs vekhost once for a CTest case, in a work folder of its own, and checks
# what came of it. Called as
#   cmake -DVEKHOST=... -DSOURCE_DIR=... -DWORK=... -DARGS=a;b;c
#         [-DCOPY=file;file] [-DEXPECT_STATUS=n] [-DEXPECT_STDOUT=golden.log]
#         [-DEXPECT_STDERR=golden.err]
#         [-DCOMPARE=produced;golden;produced;golden]
#         [-DABSENT=file;file] [-DUNCHANGED=file;file] [-DFIRST=args]
#         [-DSTDIN=file] [-DSTDOUT_FILE=path] [-DENV=NAME=value;...]
#         [-DBUILD_DIR=path] -P run_vekhost.cmake
#
# COPY files (relative to SOURCE_DIR, or absolute for those made in the
# build tree) are copied into WORK first, so that vekhost names them by their
# bare names in its messages. FIRST runs vekhost once beforehand with those
# arguments (status 0 required), for sessions that build on an earlier one.
# With the environment variable VEKHOST_UPDATE_GOLDEN set, golden files are
# rewritten from what was produced instead of compared.
# STDIN (relative to WORK) is fed to vekhost's standard input, which is empty
# otherwise; STDOUT_FILE sends its standard output there (/dev/full, say)
# instead of capturing it. ENV sets variables in vekhost's environment. The
# build folder is written <build> in what vekhost prints, so that a golden
# file holds the same wherever the tree is built.
#
# A golden file named NAME.diff is kept as its changes from another golden
# file, which its first line names (the result drawings, from the example
# drawing as vekhost writes it unchanged): it stands for the whole file,
# made with patch, wherever a golden file or a COPY file goes; rewriting it
# writes the changes again.
cmake_minimum_required(VERSION 3.25)

function(fail message)
  message(FATAL_ERROR "${message}")
endfunction()

# The golden file SOURCE_DIR/golden.diff stands for, written whole to `out`.
function(make_whole golden out)
  file(STRINGS "${SOURCE_DIR}/${golden}" header LIMIT_COUNT 1 REGEX "^--- ")
  string(REGEX REPLACE "^--- " "" base "${header}")
  if(base STREQUAL "")
    fail("${golden} names no file it changes")
  endif()
  execute_process(COMMAND patch --quiet --force --reject-file=- --output=${out}
                          "${SOURCE_DIR}/${base}" "${SOURCE_DIR}/${golden}"
    RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
  if(NOT status EQUAL 0)
    fail("${golden} does not apply to ${base}: ${said}")
  endif()
endfunction()

file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
foreach(input IN LISTS COPY)
  if(input MATCHES "\\.diff$")
    get_filename_component(name "${input}" NAME)
    string(REGEX REPLACE "\\.diff$" "" name "${name}")
    make_whole("${input}" "${WORK}/${name}")
    continue()
  endif()
  if(NOT IS_ABSOLUTE "${input}")
    set(input "${SOURCE_DIR}/${input}")
  endif()
  file(COPY "${input}" DESTINATION "${WORK}")
endforeach()

if(DEFINED FIRST)
  execute_process(COMMAND "${VEKHOST}" ${FIRST} WORKING_DIRECTORY "${WORK}"
    RESULT_VARIABLE status OUTPUT_QUIET ERROR_VARIABLE errors)
  if(NOT status EQUAL 0)
    fail("the first session ended with ${status}: ${errors}")
  endif()
endif()

set(snapshots "")
foreach(path IN LISTS UNCHANGED)
  file(READ "${WORK}/${path}" content HEX)
  list(APPEND snapshots "${content}")
endforeach()

set(command "${VEKHOST}")
if(DEFINED ENV)
  set(command "${CMAKE_COMMAND}" -E env ${ENV} "${VEKHOST}")
endif()

set(stdin_file /dev/null)
if(DEFINED STDIN)
  set(stdin_file "${WORK}/${STDIN}")
endif()
if(DEFINED STDOUT_FILE)
  execute_process(COMMAND ${command} ${ARGS} WORKING_DIRECTORY "${WORK}"
    INPUT_FILE "${stdin_file}" OUTPUT_FILE "${STDOUT_FILE}"
    RESULT_VARIABLE status ERROR_VARIABLE err)
  set(out "")
else()
  execute_process(COMMAND ${command} ${ARGS} WORKING_DIRECTORY "${WORK}"
    INPUT_FILE "${stdin_file}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
endif()

if(DEFINED BUILD_DIR)
  string(REPLACE "${BUILD_DIR}" "<build>" out "${out}")
  string(REPLACE "${BUILD_DIR}" "<build>" err "${err}")
endif()

if(NOT DEFINED EXPECT_STATUS)
  set(EXPECT_STATUS 0)
endif()
if(NOT status STREQUAL EXPECT_STATUS)
  fail("vekhost ended with ${status}, expected ${EXPECT_STATUS}\nstdout:\n${out}\nstderr:\n${err}")
endif()

function(check_golden produced golden)
  set(expected "${SOURCE_DIR}/${golden}")
  if(golden MATCHES "\\.diff$")
    if(DEFINED ENV{VEKHOST_UPDATE_GOLDEN})
      file(STRINGS "${SOURCE_DIR}/${golden}" header LIMIT_COUNT 2 REGEX "^(---|\\+\\+\\+) ")
      list(TRANSFORM header REPLACE "^(---|\\+\\+\\+) " "")
      list(GET header 0 base)
      list(GET header 1 name)
      execute_process(COMMAND diff -U1 --label ${base} --label ${name} "${SOURCE_DIR}/${base}"
                              "${produced}"
        OUTPUT_FILE "${SOURCE_DIR}/${golden}")
      return()
    endif()
    set(expected "${produced}.expected")
    make_whole("${golden}" "${expected}")
  elseif(DEFINED ENV{VEKHOST_UPDATE_GOLDEN})
    file(COPY_FILE "${produced}" "${SOURCE_DIR}/${golden}")
    return()
  endif()
  execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${produced}" "${expected}"
    RESULT_VARIABLE differs)
  if(differs)
    execute_process(COMMAND diff -u "${expected}" "${produced}" OUTPUT_VARIABLE diff)
    fail("${produced} differs from ${golden}:\n${diff}")
  endif()
endfunction()

if(DEFINED EXPECT_STDOUT)
  file(WRITE "${WORK}/stdout.log" "${out}")
  check_golden("${WORK}/stdout.log" "${EXPECT_STDOUT}")
endif()
if(DEFINED EXPECT_STDERR)
  # One message, one line.
  string(REGEX MATCHALL "\n" lines "${err}")
  list(LENGTH lines count)
  if(NOT count EQUAL 1)
    fail("expected one line on stderr, found:\n${err}")
  endif()
  file(WRITE "${WORK}/stderr.log" "${err}")
  check_golden("${WORK}/stderr.log" "${EXPECT_STDERR}")
endif()
if(EXPECT_STATUS GREATER 0 AND NOT out STREQUAL "" AND NOT DEFINED EXPECT_STDOUT)
  # A rejected input may stop a session midway; what it printed until then
  # is fine, but only a session that began prints anything.
  if(NOT out MATCHES "^registry: [^\n]*\ndrawing \"")
    fail("unexpected output before the error:\n${out}")
  endif()
endif()

set(pairs ${COMPARE})
while(pairs)
  list(POP_FRONT pairs produced golden)
  if(NOT EXISTS "${WORK}/${produced}")
    fail("${produced} was not written")
  endif()
  check_golden("${WORK}/${produced}" "${golden}")
endwhile()

foreach(path IN LISTS ABSENT)
  if(EXISTS "${WORK}/${path}")
    fail("${path} was written, though the input was rejected")
  endif()
endforeach()

set(index 0)
foreach(path IN LISTS UNCHANGED)
  file(READ "${WORK}/${path}" content HEX)
  list(GET snapshots ${index} before)
  if(NOT content STREQUAL before)
    fail("${path} was changed, though the input was rejected")
  endif()
  math(EXPR index "${index} + 1")
endforeach()
