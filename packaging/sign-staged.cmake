# CPack runs this after staging the package and before packing it: with VELORIN_SIGN_PFX set
# it signs the executable and every file PowerShell verifies under AllSigned in the staging
# folder (scripts/sign-release.sh), so each package carries them signed. Without it, nothing
# happens. PowerShell checks the signature of format and type files (.ps1xml) as well as of
# scripts, modules and manifests: an unsigned VelorinBios.Format.ps1xml fails the import.
if("$ENV{VELORIN_SIGN_PFX}" STREQUAL "")
  return()
endif()
set(patterns "")
foreach(extension exe ps1 psm1 psd1 ps1xml psc1 cdxml)
  list(APPEND patterns "${CPACK_TEMPORARY_DIRECTORY}/*.${extension}")
endforeach()
file(GLOB_RECURSE files ${patterns})
list(SORT files)
execute_process(COMMAND "${CPACK_VELORIN_SOURCE_DIR}/scripts/sign-release.sh" ${files}
                RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "signing the staged files failed")
endif()
