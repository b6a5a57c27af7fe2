# What the Windows build does differently: where programs and DLLs land, how
# test programs are started from Linux, and how the DLL's export table is made.

# Windows looks for a program's DLLs in the program's own folder first, so
# every program and DLL of the build goes into one.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# Test programs, and the GoogleTest discovery at build time, run under Wine
# with a prefix that belongs to this build tree alone.
if(CMAKE_CROSSCOMPILING AND NOT CMAKE_CROSSCOMPILING_EMULATOR)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${PROJECT_SOURCE_DIR}/scripts/wine-run ${CMAKE_BINARY_DIR}/wine-prefix)
endif()

# Writes a .def file listing the names of a linker version script's global
# section, so one list of names decides the exports on both systems. With a
# .def file the linker exports those names and stops exporting everything.
function(tessik_def_from_version_script map def)
  file(STRINGS ${map} lines)
  set(names "")
  set(in_global FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*global:")
      set(in_global TRUE)
    elseif(line MATCHES "^[ \t]*local:")
      set(in_global FALSE)
    elseif(in_global AND line MATCHES "^[ \t]*([A-Za-z_][A-Za-z0-9_]*)[ \t]*;")
      string(APPEND names "  ${CMAKE_MATCH_1}\n")
    endif()
  endforeach()
  if(names STREQUAL "")
    message(FATAL_ERROR "${map} names no exported function")
  endif()
  # Rewritten only when it changes, so a configure run relinks nothing.
  file(CONFIGURE OUTPUT ${def} CONTENT "EXPORTS\n${names}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${map})
endfunction()
