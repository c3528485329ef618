# The project's one version, written only in project(), is the one every
# other place shows: vekhost --version, the CHANGELOG's top entry, and the
# files that the module's version block, the package's name and the guide
# are made from, which take it from CMake and write none of their own.
#
#   cmake -DVERSION=... -DSOURCE_DIR=... -DVEKHOST=... -P check-version.cmake
set(problems "")

execute_process(COMMAND ${VEKHOST} --version OUTPUT_VARIABLE shown RESULT_VARIABLE status
  OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT status EQUAL 0 OR NOT shown STREQUAL "vekhost ${VERSION}")
  string(APPEND problems "vekhost --version says '${shown}' (status ${status})\n")
endif()

file(STRINGS ${SOURCE_DIR}/CHANGELOG.md headings REGEX "^## ")
list(GET headings 0 top)
if(NOT top STREQUAL "## ${VERSION}")
  string(APPEND problems "CHANGELOG.md's top entry is '${top}'\n")
endif()

foreach(made_from
    src/platform/windows/module.rc.in   # the version block
    cmake/package.cmake                 # the package's name
    release/guide-en.md.in release/guide-ko.md.in)
  file(READ ${SOURCE_DIR}/${made_from} text)
  string(FIND "${text}" "${VERSION}" literal)
  string(FIND "${text}" "PROJECT_VERSION" fromCMake)
  if(NOT literal EQUAL -1)
    string(APPEND problems "${made_from} writes the version itself\n")
  endif()
  if(fromCMake EQUAL -1)
    string(APPEND problems "${made_from} does not take the version from project()\n")
  endif()
endforeach()

file(STRINGS ${SOURCE_DIR}/CMakeLists.txt declared REGEX "^project\\(")
if(NOT declared MATCHES "VERSION ${VERSION} ")
  string(APPEND problems "project() declares '${declared}'\n")
endif()

if(problems)
  message(FATAL_ERROR "the version ${VERSION} does not agree everywhere:\n${problems}")
endif()
message(STATUS "version ${VERSION}: project(), vekhost, the CHANGELOG and the package agree")
