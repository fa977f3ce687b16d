# Fails when a source under SOURCE_DIR includes a header from a layer above its own, or when
# the simulated machine and the product reach into each other.
#
#   cmake -DSOURCE_DIR=<the src folder> -P check_layers.cmake
#
# A file's layer is the longest folder prefix below that names one; an include "x/y.h" belongs
# to the layer of the folder x/ (or x/y/ where that is one). Includes in angle brackets and
# includes of folders that name no layer (a file's own neighbours) are not checked.

cmake_minimum_required(VERSION 3.25)

# Each layer and the layers it may include, itself among them. The product's layers are in
# order from the bottom: each may include every layer before it.
set(product_layers com report bios catalog apply app)
set(allowed_com com)
set(allowed_sim sim)
set(allowed_simcom com sim simcom)
set(allowed_winstub com winstub)
set(below "")
foreach(layer IN LISTS product_layers)
  list(APPEND below ${layer})
  set(allowed_${layer} ${below})
endforeach()
set(layers ${product_layers} sim simcom winstub)

if(NOT SOURCE_DIR OR NOT IS_DIRECTORY "${SOURCE_DIR}")
  message(FATAL_ERROR "check_layers: SOURCE_DIR must name the src folder")
endif()

# The layer of the path `relative` (below SOURCE_DIR), or "" when none names it.
function(layer_of relative out)
  set(best "")
  foreach(layer IN LISTS layers)
    string(LENGTH "${layer}/" length)
    string(SUBSTRING "${relative}" 0 ${length} head)
    if(head STREQUAL "${layer}/")
      string(LENGTH "${best}" best_length)
      if(length GREATER best_length)
        set(best "${layer}")
      endif()
    endif()
  endforeach()
  set(${out} "${best}" PARENT_SCOPE)
endfunction()

# Every file is read, so that a new one is checked without being listed anywhere.
file(GLOB_RECURSE sources RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*.h" "${SOURCE_DIR}/*.cpp")
list(SORT sources)
set(violations 0)
foreach(source IN LISTS sources)
  layer_of("${source}" source_layer)
  if(source_layer STREQUAL "")
    continue()
  endif()
  file(STRINGS "${SOURCE_DIR}/${source}" include_lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line IN LISTS include_lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*$" "\\1" included "${line}")
    layer_of("${included}" included_layer)
    if(included_layer STREQUAL "" OR included_layer IN_LIST allowed_${source_layer})
      continue()
    endif()
    message(SEND_ERROR "${source} (layer ${source_layer}) includes \"${included}\" "
                       "(layer ${included_layer})")
    math(EXPR violations "${violations} + 1")
  endforeach()
endforeach()
list(LENGTH sources checked)
if(violations GREATER 0)
  message(FATAL_ERROR "check_layers: ${violations} include(s) against the layering")
endif()
message(STATUS "check_layers: ${checked} files, every include within its layer or below")
