# The package's README.txt, made from README.md by packaging/readme_txt.cmake: it lists every
# command and every exit code of the manual's tables, and a manual without those tables stops
# the build instead of shipping an empty list.
#   cmake -DSOURCE=<checkout> -DWORK=<scratch folder> -P readme_txt_test.cmake
cmake_minimum_required(VERSION 3.25)
include("${SOURCE}/packaging/readme_txt.cmake")
file(MAKE_DIRECTORY "${WORK}")

velorin_readme_txt("${SOURCE}/README.md" "${SOURCE}/packaging/README.txt.in" "${WORK}/README.txt"
                   "9.8.7.6")
# file(READ) without HEX drops the CR of a CR LF.
file(READ "${WORK}/README.txt" text)
file(READ "${WORK}/README.txt" hex HEX)
string(REGEX REPLACE "(..)" "\\1 " bytes "${hex}")
string(REGEX MATCHALL "0a " line_ends "${bytes}")
string(REGEX MATCHALL "0d 0a " crlf_ends "${bytes}")
list(LENGTH line_ends line_count)
list(LENGTH crlf_ends crlf_count)
set(failures "")
if(NOT text MATCHES "^VelorinBiosConfigTool 9\\.8\\.7\\.6\n")
  list(APPEND failures "the first line does not name the version")
endif()
if(NOT line_count EQUAL crlf_count)
  list(APPEND failures "lines without CR LF")
endif()

# Every row of the manual's command and exit tables, read here without the generator (the
# performance table further down also has rows that start with a command).
file(STRINGS "${SOURCE}/README.md" rows REGEX "^\\| `/[^|]*\\| [a-z]")
list(LENGTH rows command_count)
# Exit rows only from the table headed "| Exit |": other tables (the event ids) also start
# their rows with a number.
file(READ "${SOURCE}/README.md" readme)
string(REGEX MATCH "\n\\| Exit \\|[^\n]*\n(\\|[^\n]*\n)+" exit_table "${readme}")
string(REGEX MATCHALL "\n\\| [0-9]+ \\|[^\n]*" exit_rows "${exit_table}")
list(TRANSFORM exit_rows REPLACE "^\n" "")
list(LENGTH exit_rows exit_count)
if(command_count LESS 9 OR exit_count LESS 14)
  list(APPEND failures "README.md lists ${command_count} commands and ${exit_count} exit codes")
endif()
foreach(row IN LISTS rows)
  string(REGEX REPLACE "^\\| `(/[^` ]+).*" "\\1" command "${row}")
  string(FIND "${text}" "\n  ${command}" at)
  if(at EQUAL -1)
    list(APPEND failures "no line for ${command}")
  endif()
endforeach()
foreach(row IN LISTS exit_rows)
  string(REGEX REPLACE "^\\| ([0-9]+) \\| ([^|]*[^ |]).*" "\\1;\\2" cells "${row}")
  list(GET cells 0 code)
  if(NOT text MATCHES "\n +${code}  [A-Za-z]")
    list(APPEND failures "no line for exit code ${code}")
  endif()
endforeach()

# A manual without the exit table.
file(READ "${SOURCE}/README.md" manual)
string(REPLACE "| Exit |" "| Code |" manual "${manual}")
file(WRITE "${WORK}/README-no-exits.md" "${manual}")
execute_process(COMMAND "${CMAKE_COMMAND}" -DREADME=${WORK}/README-no-exits.md
                        -DTEMPLATE=${SOURCE}/packaging/README.txt.in -DOUTPUT=${WORK}/broken.txt
                        -DVERSION=1.0.0.0 -P "${SOURCE}/packaging/readme_txt.cmake"
                RESULT_VARIABLE status OUTPUT_QUIET ERROR_QUIET)
if(status EQUAL 0)
  list(APPEND failures "a manual without an exit table was accepted")
endif()

if(failures)
  list(JOIN failures "\n  " failures)
  message(FATAL_ERROR "README.txt:\n  ${failures}")
endif()
