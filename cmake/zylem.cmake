# Helpers shared by the modules, tools, examples and tests, and the SDK's install rules.
include(GNUInstallDirs)

# zylem_program_module(NAME OUTPUT_DIR sources...)
# Builds a program module as OUTPUT_DIR/prog.so: what the engine loads as "prog.dll".
# Program modules see only the public headers.
function(zylem_program_module name outdir)
  add_library(${name} MODULE ${ARGN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src/include)
  # Only the entry points (ZY_EXPORT) leave the module.
  set_target_properties(${name} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    PREFIX "" OUTPUT_NAME prog
    LIBRARY_OUTPUT_DIRECTORY ${outdir})
endfunction()

# zylem_impl_module(NAME sources...)
# Builds an implementation module (renderer, input or sound) as NAME.so in the build's
# modules folder; games name it "NAME.dll" in prog.xml.
function(zylem_impl_module name)
  add_library(${name} MODULE ${ARGN})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src/include)
  set_target_properties(${name} PROPERTIES
    C_VISIBILITY_PRESET hidden CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON
    PREFIX "" LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/modules)
endfunction()

# zylem_install_module(TARGET)
# Installs an implementation module into <prefix>/lib/zylem, and puts it into every game
# folder zylem_add_game lays out in this build.
function(zylem_install_module target)
  install(TARGETS ${target} LIBRARY DESTINATION lib/zylem COMPONENT runtime)
  set_property(GLOBAL APPEND PROPERTY ZYLEM_MODULE_TARGETS ${target})
endfunction()

# zylem_install_tool(TARGET)
# Installs an executable (zylem or a tool) into <prefix>/bin.
function(zylem_install_tool target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
endfunction()

# zylem_add_core_file(FILE [TARGET])
# A file every game folder needs in core/ (made by TARGET when it is generated): installed
# into <prefix>/lib/zylem/core and copied into each game folder of this build.
function(zylem_add_core_file file)
  install(FILES ${file} DESTINATION lib/zylem/core COMPONENT runtime)
  set_property(GLOBAL APPEND PROPERTY ZYLEM_CORE_FILES ${file})
  if(ARGC GREATER 1)
    set_property(GLOBAL APPEND PROPERTY ZYLEM_CORE_TARGETS ${ARGV1})
  endif()
endfunction()

# zylem_add_game in the source tree: the game folder gets this build's zylem, modules and
# core files (call it after modules/ and tools/ have been added).
macro(zylem_use_build_tree_sdk)
  set(ZYLEM_EXECUTABLE $<TARGET_FILE:zylem>)
  get_property(_modules GLOBAL PROPERTY ZYLEM_MODULE_TARGETS)
  get_property(ZYLEM_CORE_FILES GLOBAL PROPERTY ZYLEM_CORE_FILES)
  get_property(_core_targets GLOBAL PROPERTY ZYLEM_CORE_TARGETS)
  set(ZYLEM_MODULE_FILES)
  foreach(_m ${_modules})
    list(APPEND ZYLEM_MODULE_FILES ${CMAKE_BINARY_DIR}/modules/${_m}.so)
  endforeach()
  set(ZYLEM_GAME_DEPENDS zylem ${_modules} ${_core_targets})
  include(${PROJECT_SOURCE_DIR}/cmake/ZylemGame.cmake)
endmacro()
