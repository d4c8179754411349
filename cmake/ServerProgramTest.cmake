# cmake -DPROGRAM=<quillcast> -DWORK_DIR=<scratch dir> -P ServerProgramTest.cmake
# The program built without the desktop layer: it must load no desktop library
# (a server that runs it from cron has none), and it must end by itself with
# the unattended exit statuses even where a display is named.

file(GET_RUNTIME_DEPENDENCIES EXECUTABLES "${PROGRAM}"
     RESOLVED_DEPENDENCIES_VAR resolved UNRESOLVED_DEPENDENCIES_VAR unresolved)
foreach(library IN LISTS resolved unresolved)
  if(library MATCHES "libQt6(Gui|Widgets|OpenGL|XcbQpa|DBus)")
    message(SEND_ERROR "the server program loads ${library}")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# Each case: name|expected status|arguments, one field to a bar.
set(cases
  "help|0|--help"
  "missing project ends without a window|1|/load|missing.qlc")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(POP_FRONT fields name expected)
  # DISPLAY is named so that a program that would open a window tries to.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env DISPLAY=:99 QT_QPA_PLATFORM= "${PROGRAM}" ${fields}
                  WORKING_DIRECTORY "${WORK_DIR}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE output ERROR_VARIABLE errors TIMEOUT 60)
  if(NOT status STREQUAL expected)
    message(SEND_ERROR "${name}: status ${status}, expected ${expected}\n${output}${errors}")
  endif()
  if(name STREQUAL "help" AND NOT output MATCHES "as if /exit")
    message(SEND_ERROR "help does not say the program always ends by itself:\n${output}")
  endif()
endforeach()

file(REMOVE_RECURSE "${WORK_DIR}")
