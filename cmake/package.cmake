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
# and beside it Sorvane-<version>-win64.msi, which installs the same files less
# the debug information, the changes and the checksums (release/sorvane.wxs).
#
# The files are put together in <build>/package by the target
# sorvane_package_files (part of the default build), all with the time of
# SOURCE_DATE_EPOCH, and `cpack` (or the `release` workflow preset) zips that
# folder as it is, in the order of the list above, and makes the MSI from it
# (cmake/package-msi.cmake).
#
# Signing, for the maker's certificate: when SORVANE_SIGN_PKCS12 in the
# environment of the configure step names a PKCS#12 file (certificate and
# key), Sorvane.dll is signed before anything is made from it, so that the
# ZIP, its SHA256SUMS and the MSI all hold the signed DLL, and the MSI is
# signed last (cmake/sign.cmake). The password is read from the file that
# SORVANE_SIGN_PASSWORD_FILE names or, without it, from SORVANE_SIGN_PASSWORD
# in the environment of the build and package steps.

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
# The MSI holds the package's files less those that stay in the ZIP; the .wxs
# names them itself, and must name these, in this order.
set(SORVANE_MSI_NAMES ${SORVANE_PACKAGE_NAMES})
list(REMOVE_ITEM SORVANE_MSI_NAMES Sorvane.dll.debug CHANGELOG.md)
file(STRINGS ${SORVANE_RELEASE_DIR}/sorvane.wxs wxs_files REGEX "<File ")
set(wxs_names "")
foreach(line ${wxs_files})
  string(REGEX MATCH "Source=\"([^\"]+)\"" source "${line}")
  list(APPEND wxs_names ${CMAKE_MATCH_1})
endforeach()
if(NOT wxs_names STREQUAL SORVANE_MSI_NAMES)
  message(FATAL_ERROR "release/sorvane.wxs installs '${wxs_names}', not the package's '${SORVANE_MSI_NAMES}'")
endif()

set(SORVANE_SIGN_PKCS12 "$ENV{SORVANE_SIGN_PKCS12}")
set(SORVANE_SIGN_PASSWORD_FILE "$ENV{SORVANE_SIGN_PASSWORD_FILE}")
set(sorvane_sign_dll "")
if(SORVANE_SIGN_PKCS12)
  foreach(given ${SORVANE_SIGN_PKCS12} ${SORVANE_SIGN_PASSWORD_FILE})
    if(NOT IS_ABSOLUTE ${given} OR NOT EXISTS ${given})
      message(FATAL_ERROR "signing: ${given} must be the absolute path of a file")
    endif()
  endforeach()
  if(NOT SORVANE_SIGN_PASSWORD_FILE AND NOT DEFINED ENV{SORVANE_SIGN_PASSWORD})
    message(FATAL_ERROR "signing: no password for ${SORVANE_SIGN_PKCS12} (SORVANE_SIGN_PASSWORD_FILE or SORVANE_SIGN_PASSWORD)")
  endif()
  find_program(SORVANE_OSSLSIGNCODE osslsigncode)
  if(NOT SORVANE_OSSLSIGNCODE)
    message(FATAL_ERROR "osslsigncode not found (Debian package osslsigncode): the release is signed with it")
  endif()
  message(STATUS "Signing Sorvane.dll and the MSI with ${SORVANE_SIGN_PKCS12}")
  set(sorvane_sign_dll
    COMMAND ${CMAKE_COMMAND} -DFILE=${SORVANE_PACKAGE_DIR}/Sorvane.dll -DNAME=Sorvane
            -DEPOCH=${SORVANE_SOURCE_DATE_EPOCH} -DPKCS12=${SORVANE_SIGN_PKCS12}
            -DPASSWORD_FILE=${SORVANE_SIGN_PASSWORD_FILE} -P ${CMAKE_SOURCE_DIR}/cmake/sign.cmake)
else()
  message(STATUS "Unsigned: no certificate given (SORVANE_SIGN_PKCS12), so Sorvane.dll and the MSI carry no signature")
endif()
# make reruns a command when what it depends on changes, not the command: a
# change of certificate reaches the package through this file.
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/signing.txt
  CONTENT "${SORVANE_SIGN_PKCS12}\n${SORVANE_SIGN_PASSWORD_FILE}\n")

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
  ${sorvane_sign_dll}
  COMMAND ${CMAKE_COMMAND} -E copy ${SORVANE_PACKAGE_COPIES} ${SORVANE_PACKAGE_DIR}
  COMMAND ${CMAKE_COMMAND} -DDIR=${SORVANE_PACKAGE_DIR} "-DFILES=${SORVANE_PACKAGE_NAMES}"
          -P ${CMAKE_SOURCE_DIR}/cmake/write-sha256sums.cmake
  COMMAND touch -d @${SORVANE_SOURCE_DATE_EPOCH} ${SORVANE_PACKAGE_FILES} ${SORVANE_PACKAGE_DIR}
  DEPENDS Sorvane ${SORVANE_PACKAGE_COPIES} ${CMAKE_SOURCE_DIR}/cmake/write-sha256sums.cmake
          ${CMAKE_BINARY_DIR}/signing.txt ${SORVANE_SIGN_PKCS12} ${SORVANE_SIGN_PASSWORD_FILE}
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
set(CPACK_SORVANE_WXS ${SORVANE_RELEASE_DIR}/sorvane.wxs)
set(CPACK_SORVANE_SIGN_PKCS12 ${SORVANE_SIGN_PKCS12})
set(CPACK_SORVANE_SIGN_PASSWORD_FILE ${SORVANE_SIGN_PASSWORD_FILE})
find_program(SORVANE_ZIP zip)
if(NOT SORVANE_ZIP)
  message(FATAL_ERROR "zip not found (Debian package zip): the package is written with it")
endif()
include(CPack)
