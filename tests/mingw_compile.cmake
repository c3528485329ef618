# The Windows side of the dialog framework and the settings dialog, compiled
# with the MinGW-w64 cross compiler where it is installed: the Linux build
# never sees the `#ifdef _WIN32` branches, nor the real <windows.h>, so this
# is what keeps them compiling. Nothing is linked; the DLL itself is built
# elsewhere. (The resource script needs no such check: the Linux build itself
# compiles it, for the dialog stand-in.)
get_filename_component(SORVANE_MINGW_SRC ${CMAKE_CURRENT_LIST_DIR}/../src ABSOLUTE)

find_program(SORVANE_MINGW_CXX NAMES x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++)

if(SORVANE_MINGW_CXX)
  file(GLOB SORVANE_MINGW_SOURCES CONFIGURE_DEPENDS
    ${SORVANE_MINGW_SRC}/platform/framework/*.cpp
    ${SORVANE_MINGW_SRC}/settings/SorvaneDlg.cpp
    ${SORVANE_MINGW_SRC}/settings/run_settings_dialog.cpp)
  set(SORVANE_MINGW_DIR ${CMAKE_CURRENT_BINARY_DIR}/mingw_compile)
  file(MAKE_DIRECTORY ${SORVANE_MINGW_DIR})
  add_test(NAME mingw_compile_dialog
    COMMAND ${SORVANE_MINGW_CXX} -std=c++20 -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Werror
            -I${SORVANE_MINGW_SRC} -c ${SORVANE_MINGW_SOURCES}
    WORKING_DIRECTORY ${SORVANE_MINGW_DIR})
else()
  message(STATUS "MinGW-w64 g++ not found: the Windows compile check is skipped")
endif()
