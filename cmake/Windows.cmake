# What the Windows build does differently: where programs and DLLs land, and
# how test programs are started from Linux. (The DLL's export table comes from
# the version script through cmake/Exports.cmake.)

# Windows looks for a program's DLLs in the program's own folder first, so
# every program and DLL of the build goes into one.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# winpthread is linked statically (see the toolchain file), but its header
# declares every function as imported from its DLL whenever DLL_EXPORT is
# defined, and Xerces-C's configuration header defines it. A source that
# included a Xerces-C header before <mutex> then failed to link. Reading
# pthread.h first, in every source, settles its declarations before that.
add_compile_options("SHELL:-include pthread.h")

# Test programs, and the GoogleTest discovery at build time, run under Wine
# with a prefix that belongs to this build tree alone.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run ${CMAKE_BINARY_DIR}/wine-prefix)
endif()
