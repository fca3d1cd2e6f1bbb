# layers_check.cmake — fails when a file of src/ includes a header of a higher layer.
#
# Run as: cmake -DSRC_DIR=<repo>/src -P layers_check.cmake
# The layers, lowest first. A folder may include headers of its own folder and of the
# folders before it; `include` (the public headers, included without a folder) and
# `host` sit at the bottom. A relative include ("../x.h") hides its folder and is refused.
set(LAYERS include host base fs config image net engine sound font console system lifecycle)

file(GLOB_RECURSE sources RELATIVE ${SRC_DIR} ${SRC_DIR}/*.h ${SRC_DIR}/*.cpp ${SRC_DIR}/*.c)
set(faults 0)
foreach(source ${sources})
  string(REGEX MATCH "^[^/]+" folder ${source})
  list(FIND LAYERS ${folder} rank)
  if(rank EQUAL -1)
    message(SEND_ERROR "${source}: folder '${folder}' is not a layer of tests/layers_check.cmake")
    math(EXPR faults "${faults} + 1")
  endif()
  file(STRINGS ${SRC_DIR}/${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
  foreach(line ${lines})
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
    string(REGEX MATCH "^[^/]+/" target "${header}")
    string(REGEX REPLACE "/$" "" target "${target}")
    if(NOT target)  # a bare name: a public header, or a file of the same folder
      set(target ${folder})
      if(EXISTS ${SRC_DIR}/include/${header})
        set(target include)
      endif()
    endif()
    list(FIND LAYERS "${target}" target_rank)
    if(target_rank EQUAL -1 OR target_rank GREATER rank)
      message(SEND_ERROR "${source}: includes \"${header}\", above or outside the '${folder}' layer")
      math(EXPR faults "${faults} + 1")
    endif()
  endforeach()
endforeach()
if(faults GREATER 0)
  message(FATAL_ERROR "layers_check: ${faults} include(s) point upward or sideways")
endif()
list(LENGTH sources count)
message(STATUS "layers_check: ${count} files include only downward")
