# The installed ZYLEM SDK: find_package(Zylem 1.0 REQUIRED) gives the target
# Zylem::headers (#include <zylem/zylem.h>) and the function zylem_add_game (see
# ZylemGame.cmake beside this file), which lays out game folders with this SDK's zylem,
# modules and core files.
get_filename_component(_zylem_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)

if(NOT TARGET Zylem::headers)
  add_library(Zylem::headers INTERFACE IMPORTED)
  set_target_properties(Zylem::headers PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES "${_zylem_prefix}/include")
endif()

set(ZYLEM_EXECUTABLE "${_zylem_prefix}/bin/zylem")
file(GLOB ZYLEM_MODULE_FILES "${_zylem_prefix}/lib/zylem/*.so")
file(GLOB ZYLEM_CORE_FILES "${_zylem_prefix}/lib/zylem/core/*")
set(ZYLEM_GAME_DEPENDS)
include("${CMAKE_CURRENT_LIST_DIR}/ZylemGame.cmake")
