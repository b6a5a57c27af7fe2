# Cross-compiles for 64-bit Windows with Debian's mingw-w64 compilers. The
# posix flavour is the one whose libstdc++ has std::thread and std::mutex.
# scripts/windows-deps builds Xerces-C and GoogleTest with this same file.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

# Look for headers, libraries and packages only among Windows builds: the
# compiler's own tree and the prefixes named in CMAKE_PREFIX_PATH (the
# dependency cache). A Linux GTest or Xerces found by mistake would only
# fail much later, at link time.
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 ${CMAKE_PREFIX_PATH})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread go into every module, so a DLL or program
# needs only Windows' own DLLs (and the Xerces DLL) beside it. -static is the
# only switch that also catches the -lpthread the compiler driver adds last.
foreach(kind EXE SHARED MODULE)
  set(CMAKE_${kind}_LINKER_FLAGS_INIT "-static")
endforeach()
