# CPack runs this after staging the package and before packing it: with VELORIN_SIGN_PFX set
# it signs the executable and every PowerShell file in the staging folder
# (scripts/sign-release.sh), so each package carries them signed. Without it, nothing happens.
if("$ENV{VELORIN_SIGN_PFX}" STREQUAL "")
  return()
endif()
file(GLOB_RECURSE files "${CPACK_TEMPORARY_DIRECTORY}/*.exe" "${CPACK_TEMPORARY_DIRECTORY}/*.ps1"
     "${CPACK_TEMPORARY_DIRECTORY}/*.psm1" "${CPACK_TEMPORARY_DIRECTORY}/*.psd1")
list(SORT files)
execute_process(COMMAND "${CPACK_VELORIN_SOURCE_DIR}/scripts/sign-release.sh" ${files}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "signing the staged files failed")
endif()
