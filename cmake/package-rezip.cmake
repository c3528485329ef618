# Run by CPack once it has written the ZIP; makes the MSI beside it last.
#
# CPack's archive writer records every file's access and change times
# besides the modification time, and no build can fix a change time; so the
# archive is written again from the same files with `zip -X`, which keeps only
# the DOS time (the files carry the time of SOURCE_DATE_EPOCH, read in UTC)
# and takes the entries in the order named.
#
# The times are set here, right before zipping, and not only where the files
# are put together: make stamps every output of a command but the first with
# the time it ran, after the command itself.
execute_process(
  COMMAND touch -d @${CPACK_SORVANE_SOURCE_DATE_EPOCH} ${CPACK_SORVANE_PACKAGE_NAMES}
  WORKING_DIRECTORY ${CPACK_SORVANE_PACKAGE_DIR}
  RESULT_VARIABLE touched)
if(NOT touched EQUAL 0)
  message(FATAL_ERROR "the package's files could not be given the time of SOURCE_DATE_EPOCH")
endif()
foreach(archive ${CPACK_PACKAGE_FILES})
  file(REMOVE ${archive})
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env TZ=UTC zip -X -q -9 ${archive} ${CPACK_SORVANE_PACKAGE_NAMES}
    WORKING_DIRECTORY ${CPACK_SORVANE_PACKAGE_DIR}
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "zip could not write ${archive} again (Debian package zip)")
  endif()
endforeach()

# The MSI beside the ZIP, of the same name, from the same files. (The ZIP is
# written in a folder of CPack's own and copied beside it after this script.)
set(installer ${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_FILE_NAME}.msi)
execute_process(
  COMMAND ${CMAKE_COMMAND} -DDIR=${CPACK_SORVANE_PACKAGE_DIR} -DWXS=${CPACK_SORVANE_WXS}
          -DVERSION=${CPACK_PACKAGE_VERSION} -DEPOCH=${CPACK_SORVANE_SOURCE_DATE_EPOCH}
          -DOUTPUT=${installer} -DPKCS12=${CPACK_SORVANE_SIGN_PKCS12}
          -DPASSWORD_FILE=${CPACK_SORVANE_SIGN_PASSWORD_FILE}
          -P ${CMAKE_CURRENT_LIST_DIR}/package-msi.cmake
  RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the MSI ${installer} could not be made")
endif()
message(STATUS "Sorvane MSI: ${installer} generated")
