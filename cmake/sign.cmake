# Signs FILE in place with an Authenticode signature (osslsigncode), for the
# maker's certificate:
#
#   cmake -DFILE=... -DNAME=... -DEPOCH=... -DPKCS12=... [-DPASSWORD_FILE=...] -P sign.cmake
#
# PKCS12 holds the certificate and its key; their password comes from the file
# PASSWORD_FILE, or else from the environment variable SORVANE_SIGN_PASSWORD,
# and never stands on a command line, where any user of the machine could read
# it. The signing time is EPOCH (SOURCE_DATE_EPOCH): with the time fixed the
# signature is the same for the same file and key, so a signed build is
# reproducible too. No timestamp server is asked; one that the release
# machine reaches can be added with `-ts URL` below, and then the signature
# outlives the certificate but differs from build to build.
set(command sign -pkcs12 ${PKCS12} -h sha256 -n ${NAME} -time ${EPOCH}
    -in ${FILE} -out ${FILE}.signed)
file(REMOVE ${FILE}.signed)
if(PASSWORD_FILE)
  execute_process(COMMAND osslsigncode ${command} -readpass ${PASSWORD_FILE}
    OUTPUT_VARIABLE said ERROR_VARIABLE said RESULT_VARIABLE status)
elseif(DEFINED ENV{SORVANE_SIGN_PASSWORD})
  # The shell hands the password on through a pipe, expanding it itself.
  execute_process(
    COMMAND sh -c "printf '%s' \"$SORVANE_SIGN_PASSWORD\" | exec osslsigncode \"$@\" -readpass /dev/stdin"
            sh ${command}
    OUTPUT_VARIABLE said ERROR_VARIABLE said RESULT_VARIABLE status)
else()
  message(FATAL_ERROR "no password for ${PKCS12}: set SORVANE_SIGN_PASSWORD_FILE or SORVANE_SIGN_PASSWORD")
endif()
if(NOT status EQUAL 0)
  message(FATAL_ERROR "osslsigncode could not sign ${FILE} with ${PKCS12}:\n${said}")
endif()
file(RENAME ${FILE}.signed ${FILE})
