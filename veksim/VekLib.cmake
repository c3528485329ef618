# VekLib.dll: the simulated host library built for Windows from the same
# sources as veksim, so that Sorvane.dll can import the Vek* functions by name
# from a DLL of that name, as it does from the real host's.
#
# The library exports everything it defines: the Vek* functions for the
# module, and the driver (sim::Host and its helpers) for the test program. Both
# must reach the one Host instance inside this DLL; a second copy of the
# simulator linked into the test program would be a second host that the
# module never talks to. No source marks its symbols for export, so the
# linker is told to export every global one of these sources.
add_library(VekLib SHARED ${VEKSIM_SOURCES})
target_include_directories(VekLib PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/src)
set_target_properties(VekLib PROPERTIES
  PREFIX ""
  OUTPUT_NAME VekLib
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin
  ARCHIVE_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/lib)
# Nothing from the statically linked runtimes (libstdc++, libgcc, winpthread)
# is exported: a program linking VekLib.dll would otherwise import, say,
# _Unwind_Resume from it and clash with its own copy.
target_link_options(VekLib PRIVATE -Wl,--export-all-symbols -Wl,--exclude-libs,libgcc.a:libgcc_eh.a:libstdc++.a:libwinpthread.a:libpthread.a)
