# zylem_add_game(TARGET SOURCES file... [DATA DIR] [PROG_XML FILE] [FOLDER DIR])
#
# Builds a game's program module and lays out a complete, runnable game folder in
# <build>/<TARGET>/ (or FOLDER): prog.so, prog.xml (PROG_XML, default prog.xml beside the
# CMakeLists.txt), the DATA folder copied in under its own name (DATA data gives
# <TARGET>/data/...), the engine's modules and its core/ files. run_<TARGET> starts the
# game with zylem. Every file is copied again when it changes.
#
# Shared by the source tree and the installed SDK; the caller sets:
#   ZYLEM_EXECUTABLE     the zylem to run (a path, or $<TARGET_FILE:zylem>)
#   ZYLEM_MODULE_FILES   module files copied into the game folder
#   ZYLEM_CORE_FILES     files copied into the game folder's core/
#   ZYLEM_GAME_DEPENDS   targets that make those files (empty for the installed SDK)
include_guard(GLOBAL)

function(zylem_add_game target)
  cmake_parse_arguments(PARSE_ARGV 1 GAME "" "DATA;PROG_XML;FOLDER" "SOURCES")
  if(NOT GAME_SOURCES)
    message(FATAL_ERROR "zylem_add_game(${target}): no SOURCES given")
  endif()
  if(NOT GAME_PROG_XML)
    set(GAME_PROG_XML ${CMAKE_CURRENT_SOURCE_DIR}/prog.xml)
  endif()
  get_filename_component(GAME_PROG_XML ${GAME_PROG_XML} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT EXISTS ${GAME_PROG_XML})
    message(FATAL_ERROR "zylem_add_game(${target}): no prog.xml at ${GAME_PROG_XML}")
  endif()
  set(dir ${CMAKE_CURRENT_BINARY_DIR}/${target})
  if(GAME_FOLDER)
    set(dir ${GAME_FOLDER})
  endif()

  # The program module: what the engine loads as "prog.dll". Only its entry points leave it.
  add_library(${target} MODULE ${GAME_SOURCES})
  target_link_libraries(${target} PRIVATE Zylem::headers)
  set_target_properties(${target} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    PREFIX "" OUTPUT_NAME prog SUFFIX ".so" LIBRARY_OUTPUT_DIRECTORY ${dir})

  set(copies)
  macro(_zylem_copy from to)
    add_custom_command(OUTPUT ${to}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${from} ${to}
      DEPENDS ${from} ${ZYLEM_GAME_DEPENDS} VERBATIM)
    list(APPEND copies ${to})
  endmacro()
  _zylem_copy(${GAME_PROG_XML} ${dir}/prog.xml)
  if(GAME_DATA)
    get_filename_component(data ${GAME_DATA} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    get_filename_component(data_name ${data} NAME)
    file(GLOB_RECURSE data_files RELATIVE ${data} CONFIGURE_DEPENDS ${data}/*)
    foreach(file ${data_files})
      _zylem_copy(${data}/${file} ${dir}/${data_name}/${file})
    endforeach()
  endif()
  foreach(module ${ZYLEM_MODULE_FILES})
    get_filename_component(name ${module} NAME)
    _zylem_copy(${module} ${dir}/${name})
  endforeach()
  foreach(file ${ZYLEM_CORE_FILES})
    get_filename_component(name ${file} NAME)
    _zylem_copy(${file} ${dir}/core/${name})
  endforeach()
  add_custom_target(${target}_files DEPENDS ${copies})
  add_dependencies(${target} ${target}_files)

  add_custom_target(run_${target}
    COMMAND ${ZYLEM_EXECUTABLE} --game ${dir}
    DEPENDS ${target} USES_TERMINAL
    COMMENT "Running ${target} with zylem")
endfunction()
