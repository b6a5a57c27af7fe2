# The library's export names have one source, the linker version script
# client/TessikClient.map: the Linux link uses it as it is, the Windows link
# gets a .def file made from it, and the export-table test reads its expected
# list from it.

# Sets `out` to the names of the version script's global section, in the
# order written. Fails the configuration when there are none, so a script
# this parser cannot read stops the build instead of exporting nothing.
function(tessik_read_version_script map out)
  file(STRINGS ${map} lines)
  set(names "")
  set(in_global FALSE)
  foreach(line IN LISTS lines)
    if(line MATCHES "^[ \t]*global:")
      set(in_global TRUE)
    elseif(line MATCHES "^[ \t]*local:")
      set(in_global FALSE)
    elseif(in_global AND line MATCHES "^[ \t]*([A-Za-z_][A-Za-z0-9_]*)[ \t]*;")
      list(APPEND names ${CMAKE_MATCH_1})
    endif()
  endforeach()
  if(names STREQUAL "")
    message(FATAL_ERROR "${map} names no exported function")
  endif()
  # A changed list must reach everything made from it.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${map})
  set(${out} ${names} PARENT_SCOPE)
endfunction()

# Writes `file` with `header` and then one line per name (each prefixed by
# `indent`); rewritten only when it changes, so a configure run relinks and
# reruns nothing.
function(tessik_write_name_list file header indent)
  set(text "${header}")
  foreach(name IN LISTS ARGN)
    string(APPEND text "${indent}${name}\n")
  endforeach()
  file(CONFIGURE OUTPUT ${file} CONTENT "${text}" @ONLY)
endfunction()

# The .def file of a Windows link: with one, the linker exports exactly those
# names and stops exporting everything.
function(tessik_def_from_version_script map def)
  tessik_read_version_script(${map} names)
  tessik_write_name_list(${def} "EXPORTS\n" "  " ${names})
endfunction()
