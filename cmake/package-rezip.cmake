# Run by CPack once it has written the ZIP. Its archive writer records every
# file's access and change times besides the modification time, and no build
# can fix a change time; so the archive is written again from the same files
# with `zip -X`, which keeps only the DOS time (the files carry the time of
# SOURCE_DATE_EPOCH, read in UTC) and takes the entries in the order named.
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
