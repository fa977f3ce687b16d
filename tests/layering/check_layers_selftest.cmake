# Proves that check_layers.cmake catches what it is for: over a small tree in WORK_DIR, an
# include downwards passes and one include upwards fails, naming the file and the header.
#
#   cmake -DCHECKER=<check_layers.cmake> -DWORK_DIR=<scratch folder> -P check_layers_selftest.cmake

cmake_minimum_required(VERSION 3.25)

set(tree "${WORK_DIR}/src")
file(REMOVE_RECURSE "${tree}")
file(WRITE "${tree}/report/console.h" "#pragma once\n")
file(WRITE "${tree}/app/command_line.h" "#pragma once\n#include \"report/console.h\"\n")
file(WRITE "${tree}/bios/wtolq_core.cpp" "#include \"report/console.h\"\n#include <vector>\n")
file(WRITE "${tree}/simcom/wmi_object.cpp" "#include \"com/com_handles.h\"\n")

function(run_checker result output)
  execute_process(COMMAND "${CMAKE_COMMAND}" "-DSOURCE_DIR=${tree}" -P "${CHECKER}"
                  RESULT_VARIABLE code OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${result} "${code}" PARENT_SCOPE)
  set(${output} "${out}${err}" PARENT_SCOPE)
endfunction()

run_checker(code output)
if(NOT code EQUAL 0)
  message(FATAL_ERROR "a tree without upward includes failed the check:\n${output}")
endif()

# The bottom layer reaching into the front end, and the simulated machine into the product.
file(WRITE "${tree}/report/console.cpp" "#include \"app/command_line.h\"\n")
file(WRITE "${tree}/simcom/wmi_services.cpp" "#include \"bios/wtolq_core.h\"\n")
run_checker(code output)
if(code EQUAL 0)
  message(FATAL_ERROR "upward includes passed the check:\n${output}")
endif()
foreach(expected "report/console.cpp (layer report) includes \"app/command_line.h\""
                 "simcom/wmi_services.cpp (layer simcom) includes \"bios/wtolq_core.h\""
                 "2 include(s) against the layering")
  string(FIND "${output}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "the check did not report: ${expected}\n${output}")
  endif()
endforeach()
file(REMOVE_RECURSE "${WORK_DIR}")
message(STATUS "check_layers self-test: passes a sound tree, fails each upward include")
