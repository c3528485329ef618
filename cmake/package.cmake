# Sorvane-<version>-win64.zip, the one archive an operator installs from:
#
#   Sorvane.dll            the module, stripped
#   Sorvane.dll.debug      its debug information, which Sorvane.dll names in
#                          its .gnu_debuglink section: a crash report from the
#                          field is read against it; operators need not copy it
#   guide-ko.md, guide-en.md, settings-dialog.png
#                          the operator's guide, in Korean and in English
#   settings-defaults.reg  imports the seven default settings
#   settings-remove.reg    removes the settings key
#   CHANGELOG.md
#   SHA256SUMS             the checksums of every other file
#
# The files are put together in <build>/package by the target
# sorvane_package_files (part of the default build), all with the time of
# SOURCE_DATE_EPOCH, and `cpack` (or the `release` workflow preset) zips that
# folder as it is, in the order of the list above.

set(SORVANE_PACKAGE_DIR ${CMAKE_BINARY_DIR}/package)
set(SORVANE_RELEASE_DIR ${CMAKE_SOURCE_DIR}/release)

configure_file(${SORVANE_RELEASE_DIR}/guide-ko.md.in ${CMAKE_BINARY_DIR}/release/guide-ko.md @ONLY)
configure_file(${SORVANE_RELEASE_DIR}/guide-en.md.in ${CMAKE_BINARY_DIR}/release/guide-en.md @ONLY)

set(SORVANE_PACKAGE_COPIES
  ${CMAKE_BINARY_DIR}/release/guide-ko.md
  ${CMAKE_BINARY_DIR}/release/guide-en.md
  ${CMAKE_SOURCE_DIR}/docs/settings-dialog.png
  ${SORVANE_RELEASE_DIR}/settings-defaults.reg
  ${SORVANE_RELEASE_DIR}/settings-remove.reg
  ${CMAKE_SOURCE_DIR}/CHANGELOG.md)
set(SORVANE_PACKAGE_NAMES
  Sorvane.dll Sorvane.dll.debug guide-ko.md guide-en.md settings-dialog.png
  settings-defaults.reg settings-remove.reg CHANGELOG.md)
set(SORVANE_PACKAGE_FILES "")
foreach(name ${SORVANE_PACKAGE_NAMES} SHA256SUMS)
  list(APPEND SORVANE_PACKAGE_FILES ${SORVANE_PACKAGE_DIR}/${name})
endforeach()

add_custom_command(
  OUTPUT ${SORVANE_PACKAGE_FILES}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${SORVANE_PACKAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${SORVANE_PACKAGE_DIR}
  # The debug information goes to a file of its own; the module keeps only
  # its file name (no folder: a debugger looks beside the DLL) and checksum.
  # objcopy stamps the PE header anew, with SOURCE_DATE_EPOCH when it is set.
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${SORVANE_SOURCE_DATE_EPOCH}
          ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:Sorvane>
          ${SORVANE_PACKAGE_DIR}/Sorvane.dll.debug
  COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${SORVANE_SOURCE_DATE_EPOCH}
          ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${SORVANE_PACKAGE_DIR}/Sorvane.dll.debug
          $<TARGET_FILE:Sorvane> ${SORVANE_PACKAGE_DIR}/Sorvane.dll
  COMMAND ${CMAKE_COMMAND} -E copy ${SORVANE_PACKAGE_COPIES} ${SORVANE_PACKAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -DDIR=${SORVANE_PACKAGE_DIR} "-DFILES=${SORVANE_PACKAGE_NAMES}"
          -P ${CMAKE_SOURCE_DIR}/cmake/write-sha256sums.cmake
  COMMAND touch -d @${SORVANE_SOURCE_DATE_EPOCH} ${SORVANE_PACKAGE_FILES} ${SORVANE_PACKAGE_DIR}
  DEPENDS Sorvane ${SORVANE_PACKAGE_COPIES} ${CMAKE_SOURCE_DIR}/cmake/write-sha256sums.cmake
  COMMENT "Putting the package's files together in ${SORVANE_PACKAGE_DIR}"
  VERBATIM)
add_custom_target(sorvane_package_files ALL DEPENDS ${SORVANE_PACKAGE_FILES})

# cpack zips what the package holds and builds nothing else: by default it
# would first build the whole tree (vekhost.exe, VekLib.dll, the tests), none
# of which ships. The build step makes sorvane_package_files.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
install(FILES ${SORVANE_PACKAGE_FILES} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Sorvane)
set(CPACK_PACKAGE_VENDOR Denmarrow)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Sorvane-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/dist)
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_SOURCE_DIR}/cmake/package-rezip.cmake)
# Read by that script: CPack hands its scripts every CPACK_ variable.
set(CPACK_SORVANE_PACKAGE_DIR ${SORVANE_PACKAGE_DIR})
set(CPACK_SORVANE_PACKAGE_NAMES ${SORVANE_PACKAGE_NAMES} SHA256SUMS)
set(CPACK_SORVANE_SOURCE_DATE_EPOCH ${SORVANE_SOURCE_DATE_EPOCH})
find_program(SORVANE_ZIP zip)
if(NOT SORVANE_ZIP)
  message(FATAL_ERROR "zip not found (Debian package zip): the package is written with it")
endif()
include(CPack)
