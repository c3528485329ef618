# Writes OUTPUT, Sorvane-<version>-win64.msi, with wixl from release/sorvane.wxs
# (WXS) and the files of the package folder DIR, as the ZIP holds them; signs
# it when PKCS12 names the maker's certificate (cmake/sign.cmake).
#
#   cmake -DDIR=... -DWXS=... -DVERSION=... -DEPOCH=... -DOUTPUT=...
#         [-DPKCS12=... [-DPASSWORD_FILE=...]] -P package-msi.cmake
#
# The same files give the same bytes:
# - wixl takes the two times of the summary information from the clock and
#   has no option to fix them: it runs under faketime, its clock stopped at
#   EPOCH (SOURCE_DATE_EPOCH), in UTC. The cabinet holds each file's time,
#   which the package step sets to the same.
# - The product code is a name-based GUID of the version: new for every
#   version, as a major upgrade needs. The package code, which wixl draws at
#   random, is set afterwards to one of everything the package is made of:
#   the version, the .wxs and the files' checksums.
foreach(tool faketime wixl msibuild)
  find_program(found_${tool} ${tool})
  if(NOT found_${tool})
    message(FATAL_ERROR "${tool} not found (Debian packages faketime, wixl, msitools): the MSI is made with it")
  endif()
endforeach()

set(namespace 2B8E6F0A-5C3D-5E71-9A4B-7D1C0E6F3A82)
string(UUID product_code NAMESPACE ${namespace} NAME "Sorvane ${VERSION}" TYPE SHA1 UPPER)
file(SHA256 ${WXS} wxs_hash)
file(READ ${DIR}/SHA256SUMS sums)
string(UUID package_code NAMESPACE ${namespace} NAME "${VERSION}\n${wxs_hash}\n${sums}" TYPE SHA1 UPPER)
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
string(TIMESTAMP clock "%Y-%m-%d %H:%M:%S" UTC)

set(unsigned ${OUTPUT}.unsigned)
file(REMOVE ${OUTPUT} ${unsigned})
# wixl finds File/@Source only relative to the folder it runs in. It warns of
# what it does not know, and goes on: a warning stops the build here.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E env TZ=UTC faketime -f ${clock}
          wixl -a x64 -D Version=${VERSION} -D ProductCode=${product_code} -o ${unsigned} ${WXS}
  WORKING_DIRECTORY ${DIR}
  RESULT_VARIABLE status ERROR_VARIABLE said)
if(NOT status EQUAL 0 OR NOT said STREQUAL "")
  message(FATAL_ERROR "wixl could not make ${unsigned} from ${WXS}:\n${said}")
endif()
# wixl has no Secure attribute: INSTALLDIR joins the properties that pass from
# the command line to the installing service by hand. msibuild leaves the
# summary times as they are and writes the same bytes every time.
execute_process(
  COMMAND msibuild ${unsigned}
          -q "UPDATE `Property` SET `Value` = 'INSTALLDIR;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE `Property` = 'SecureCustomProperties'"
          # What wixl wrote from the .wxs's Package, and the package code.
          -s "Sorvane ${VERSION}" Denmarrow "x64;1033" "{${package_code}}"
  RESULT_VARIABLE status OUTPUT_VARIABLE said ERROR_VARIABLE said)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "msibuild could not finish ${unsigned}:\n${said}")
endif()

# The signature covers the summary information: nothing changes the file after.
if(PKCS12)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -DFILE=${unsigned} "-DNAME=Sorvane ${VERSION}" -DEPOCH=${EPOCH}
            -DPKCS12=${PKCS12} -DPASSWORD_FILE=${PASSWORD_FILE} -P ${CMAKE_CURRENT_LIST_DIR}/sign.cmake
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${unsigned} could not be signed")
  endif()
endif()
file(RENAME ${unsigned} ${OUTPUT})
