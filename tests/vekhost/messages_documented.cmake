# Every text the module shows is in docs/messages.md, byte for byte, as a
# code span: the UTF-16 literals of src/command/ and the caption and
# controls of the settings dialog's resource script. A text added or changed
# in the module without its translation fails here.
#   cmake -DSOURCE_DIR=... -P messages_documented.cmake
cmake_minimum_required(VERSION 3.25)

file(READ "${SOURCE_DIR}/docs/messages.md" glossary)
file(GLOB sources "${SOURCE_DIR}/src/command/*.h" "${SOURCE_DIR}/src/command/*.cpp")

set(texts "")
foreach(source IN LISTS sources)
  file(READ "${source}" code)
  string(REGEX MATCHALL "u\"[^\"]+\"" literals "${code}")
  foreach(literal IN LISTS literals)
    string(REGEX REPLACE "^u\"(.*)\"$" "\\1" text "${literal}")
    list(APPEND texts "${text}")
  endforeach()
endforeach()
file(READ "${SOURCE_DIR}/src/settings/SorvaneDlg.rc" script)
string(REGEX MATCHALL "(CAPTION|CONTROL) \"[^\"]+\"" shown "${script}")
foreach(entry IN LISTS shown)
  string(REGEX REPLACE "^[A-Z]+ \"(.*)\"$" "\\1" text "${entry}")
  list(APPEND texts "${text}")
endforeach()

list(LENGTH texts count)
if(count LESS 40)
  message(FATAL_ERROR "found only ${count} texts in the module; has the source moved?")
endif()
set(missing "")
foreach(text IN LISTS texts)
  string(FIND "${glossary}" "`${text}`" at)
  if(at EQUAL -1)
    string(APPEND missing "\n  ${text}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "docs/messages.md lacks these texts of the module:${missing}")
endif()
