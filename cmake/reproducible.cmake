# The Windows build gives the same bytes from the same sources, wherever and
# whenever it runs: a CAD shop that deploys the module can rebuild it and
# compare.
#
# - Times: the PE header's timestamp and the package's file times come from
#   SOURCE_DATE_EPOCH, by default the time of the last commit. GNU ld takes
#   the timestamp from that variable when it is set at link time.
# - Paths: the source and build folders are mapped to fixed names in the
#   debug information and in __FILE__.

if(DEFINED ENV{SOURCE_DATE_EPOCH})
  set(SORVANE_SOURCE_DATE_EPOCH "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(COMMAND git log -1 --format=%ct
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}
    OUTPUT_VARIABLE SORVANE_SOURCE_DATE_EPOCH
    OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE sorvane_git_status
    ERROR_QUIET)
  if(NOT sorvane_git_status EQUAL 0 OR SORVANE_SOURCE_DATE_EPOCH STREQUAL "")
    # Not a checkout: a fixed time still gives the same bytes.
    set(SORVANE_SOURCE_DATE_EPOCH 315532800)  # 1980-01-01, the first time a ZIP can hold
  endif()
endif()
if(NOT SORVANE_SOURCE_DATE_EPOCH MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH must be seconds since 1970, not '${SORVANE_SOURCE_DATE_EPOCH}'")
endif()
message(STATUS "Build time for timestamps (SOURCE_DATE_EPOCH): ${SORVANE_SOURCE_DATE_EPOCH}")

add_compile_options(
  -ffile-prefix-map=${CMAKE_SOURCE_DIR}=/sorvane
  -ffile-prefix-map=${CMAKE_BINARY_DIR}=/sorvane-build)
set(CMAKE_CXX_LINKER_LAUNCHER ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${SORVANE_SOURCE_DATE_EPOCH})
