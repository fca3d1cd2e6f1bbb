# Helpers shared by the modules, examples and tests.

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
