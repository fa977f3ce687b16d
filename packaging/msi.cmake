# Builds VelorinBiosConfigTool-<version>-x64.msi with wixl from packaging/VelorinBiosConfigTool.wxs
# and a staged package folder (the tool, README.txt, NOTICES.txt, VelorinBios\, deploy\), and
# signs it when VELORIN_SIGN_PFX is set (scripts/sign-release.sh).
#
# As CPack's External package script it takes the staging folder and the settings from CPack
# (CPACK_VELORIN_* in windows/CMakeLists.txt). Tests build other versions of the same files:
#   cmake -DSTAGE=<folder> -DVERSION=1.2.3.4 -DOUTPUT=<file.msi> -DSOURCE=<checkout>
#         -P packaging/msi.cmake
cmake_minimum_required(VERSION 3.25)

function(velorin_build_msi stage version output source)
  find_program(WIXL wixl REQUIRED)
  find_program(WIXL_HEAT wixl-heat REQUIRED)
  # The module's folder under Modules is its ModuleVersion: the first three fields.
  string(REGEX MATCH "^[0-9]+\\.[0-9]+\\.[0-9]+" module_version "${version}")
  # The Upgrade row removes every version up to this one's first three fields, its own
  # included: the first version above them, the third field raised by one, is its bound.
  string(REGEX MATCH "^([0-9]+\\.[0-9]+)\\.([0-9]+)" upgrade_below "${version}")
  math(EXPR next_patch "${CMAKE_MATCH_2} + 1")
  set(upgrade_below "${CMAKE_MATCH_1}.${next_patch}")
  get_filename_component(work "${output}" DIRECTORY)
  get_filename_component(name "${output}" NAME_WE)
  set(work "${work}/${name}.wixl")
  file(REMOVE_RECURSE "${work}")
  file(MAKE_DIRECTORY "${work}")

  # One component per file of the module and of the fleet scripts, its GUID made from its
  # path, so the components of one version keep theirs.
  set(fragments "")
  foreach(part "VelorinBios;ModuleFolder;ModuleFiles" "deploy;DeployFolder;DeployFiles")
    list(GET part 0 folder)
    list(GET part 1 directory)
    list(GET part 2 group)
    file(GLOB_RECURSE files RELATIVE "${stage}" "${stage}/${folder}/*")
    list(SORT files)
    list(JOIN files "\n" listing)
    file(WRITE "${work}/${group}.txt" "${listing}\n")
    execute_process(
      COMMAND "${WIXL_HEAT}" --prefix "${folder}/" --directory-ref ${directory}
              --component-group ${group} --var var.${group}Dir --win64
      INPUT_FILE "${work}/${group}.txt" OUTPUT_FILE "${work}/${group}.wxs"
      RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "wixl-heat failed for ${folder}")
    endif()
    list(APPEND fragments "${work}/${group}.wxs")
  endforeach()

  execute_process(
    COMMAND "${WIXL}" --arch x64 -D Version=${version} -D ModuleVersion=${module_version}
            -D UpgradeBelow=${upgrade_below}
            -D SourceDir=. -D ModuleFilesDir=VelorinBios -D DeployFilesDir=deploy -D Win64=yes
            -o "${output}" "${source}/packaging/VelorinBiosConfigTool.wxs" ${fragments}
    # wixl takes only relative source paths, from the folder it runs in.
    WORKING_DIRECTORY "${stage}"
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "wixl could not build ${output}")
  endif()
  if(NOT "$ENV{VELORIN_SIGN_PFX}" STREQUAL "")
    execute_process(COMMAND "${source}/scripts/sign-release.sh" "${output}" RESULT_VARIABLE status)
    if(NOT status EQUAL 0)
      message(FATAL_ERROR "signing ${output} failed")
    endif()
  endif()
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  velorin_build_msi("${STAGE}" "${VERSION}" "${OUTPUT}" "${SOURCE}")
else()
  # CPack's External generator: the staging folder is CPACK_TEMPORARY_DIRECTORY; CPack copies
  # the packages named in CPACK_EXTERNAL_BUILT_PACKAGES into the build folder.
  set(msi "${CPACK_TOPLEVEL_DIRECTORY}/VelorinBiosConfigTool-${CPACK_VELORIN_VERSION}-x64.msi")
  velorin_build_msi("${CPACK_TEMPORARY_DIRECTORY}" "${CPACK_VELORIN_VERSION}" "${msi}"
                    "${CPACK_VELORIN_SOURCE_DIR}")
  set(CPACK_EXTERNAL_BUILT_PACKAGES "${msi}")
endif()
