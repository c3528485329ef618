# Cross-compiling the Windows product (x86-64) on Linux with MinGW-w64.
#
# The win32 flavour of the compiler is named on purpose. A host loads and
# unloads its plug-ins many times in one process, and the posix flavour's
# runtime links winpthread into every DLL: each load of Sorvane.dll would take
# a thread-local storage slot, an event and a thread handle that no unload
# gives back. The win32 flavour's runtime uses Windows' own primitives and
# needs none of it; it has no std::thread or std::mutex, so the test program
# starts its second thread with CreateThread.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLE}-windres)
set(CMAKE_AR ${MINGW_TRIPLE}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${MINGW_TRIPLE}-ranlib CACHE FILEPATH "")
set(CMAKE_OBJDUMP ${MINGW_TRIPLE}-objdump CACHE FILEPATH "")
set(CMAKE_OBJCOPY ${MINGW_TRIPLE}-objcopy CACHE FILEPATH "")

# Headers and libraries come from the MinGW-w64 tree only, never from the
# Linux host's; programs (the resource compiler, the preprocessor) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every binary of the Windows build carries its C and C++ runtimes inside:
# a host machine has no MinGW DLLs (libgcc_s_seh-1, libstdc++-6,
# libwinpthread-1), only the system's DLLs and the host's own VekLib.dll.
# -static applies to the runtimes only; the system libraries stay import
# libraries, so advapi32, user32 and kernel32 are still imported from Windows.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
