# Runs the exit probe and checks that it exited normally, in time, after as
# many final notifications as it should have seen.
#   cmake -DPROBE=... [-DEMULATOR=...] -DFINALS=N -DWORKDIR=... -P RunExitProbe.cmake
execute_process(COMMAND ${EMULATOR} ${PROBE} WORKING_DIRECTORY ${WORKDIR} TIMEOUT 30
                OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
message("${out}${err}")
if(NOT rc STREQUAL "0")
  message(FATAL_ERROR "the probe ended with '${rc}', not a normal exit")
endif()
string(REGEX MATCHALL "final [0-9]+ empty" finals "${out}")
list(LENGTH finals count)
if(NOT count EQUAL FINALS)
  message(FATAL_ERROR "${count} final notifications, expected ${FINALS}")
endif()
