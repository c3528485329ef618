# Writes the bad drawings: base.json with the edits of the table
# (bad/drawings.cmake) made, one file for each.
#
#   cmake -DBASE=base.json -DTABLE=drawings.cmake -DOUT=folder [-DPREFIX=text]
#         -P make_bad_drawings.cmake
#
# Writes OUT/<PREFIX><NAME>.json for each bad_drawing(NAME ...) of the table.
cmake_minimum_required(VERSION 3.25)

file(READ "${BASE}" base)
file(MAKE_DIRECTORY "${OUT}")

# The offset of `what` in `text` at or after `from`, into `out`. With `once`,
# the text must not occur a second time from `from` on.
function(locate drawing text what from once out)
  string(SUBSTRING "${text}" ${from} -1 tail)
  string(FIND "${tail}" "${what}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "bad drawing ${drawing}: \"${what}\" is not in ${BASE}")
  endif()
  if(once)
    string(LENGTH "${what}" length)
    math(EXPR rest "${at} + ${length}")
    string(SUBSTRING "${tail}" ${rest} -1 after)
    string(FIND "${after}" "${what}" again)
    if(NOT again EQUAL -1)
      message(FATAL_ERROR "bad drawing ${drawing}: \"${what}\" occurs more than once in ${BASE}")
    endif()
  endif()
  math(EXPR at "${from} + ${at}")
  set(${out} ${at} PARENT_SCOPE)
endfunction()

# The arguments are read one by one as ARGV<n>, never as a list: the texts
# are JSON, whose brackets and semicolons a CMake list would not keep.
function(bad_drawing name)
  set(text "${base}")
  set(from -1)  # no anchor
  set(i 1)
  while(i LESS ARGC)
    set(word "${ARGV${i}}")
    if(word STREQUAL "AFTER")
      math(EXPR i "${i} + 1")
      locate(${name} "${text}" "${ARGV${i}}" 0 TRUE anchor)
      string(LENGTH "${ARGV${i}}" length)
      math(EXPR from "${anchor} + ${length}")
    elseif(word STREQUAL "REPLACE")
      math(EXPR old "${i} + 1")
      math(EXPR new "${i} + 2")
      math(EXPR i "${i} + 2")
      if(i GREATER_EQUAL ARGC)
        message(FATAL_ERROR "bad drawing ${name}: REPLACE takes a text and its replacement")
      endif()
      if(from EQUAL -1)
        locate(${name} "${text}" "${ARGV${old}}" 0 TRUE at)
      else()
        locate(${name} "${text}" "${ARGV${old}}" ${from} FALSE at)
      endif()
      string(LENGTH "${ARGV${old}}" length)
      math(EXPR end "${at} + ${length}")
      string(SUBSTRING "${text}" 0 ${at} head)
      string(SUBSTRING "${text}" ${end} -1 tail)
      set(text "${head}${ARGV${new}}${tail}")
      set(from -1)
    else()
      message(FATAL_ERROR "bad drawing ${name}: AFTER or REPLACE expected, found \"${word}\"")
    endif()
    math(EXPR i "${i} + 1")
  endwhile()
  file(WRITE "${OUT}/${PREFIX}${name}.json" "${text}")
endfunction()

include("${TABLE}")
