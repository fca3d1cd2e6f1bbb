# checks.cmake — checks of the public headers that are not GoogleTest executables.
#
# - zylem_header_usage: a game written in C and the three module kinds written in C++
#   against src/include, compiled with every build (warnings are errors), so a header
#   change that breaks either kind of caller stops the build.
# - include_* tests: the same sources and the minimal game compiled for 32-bit, where the
#   headers and c_usage.c check the published byte offsets (natively, the 64-bit ones);
#   and a file whose layout claim is wrong, which must be rejected with the check's own
#   message.

set(ZY_HEADER_DIR ${PROJECT_SOURCE_DIR}/src/include)
set(ZY_HEADER_CHECKS ${CMAKE_CURRENT_SOURCE_DIR}/include/compile)
set(ZY_HEADER_WARNINGS -Wall -Wextra -Wpedantic -Werror)

add_library(zylem_header_usage OBJECT
  ${ZY_HEADER_CHECKS}/c_usage.c
  ${ZY_HEADER_CHECKS}/module_usage.cpp)
target_include_directories(zylem_header_usage PRIVATE ${ZY_HEADER_DIR})
target_compile_options(zylem_header_usage PRIVATE ${ZY_HEADER_WARNINGS})
set_target_properties(zylem_header_usage PROPERTIES C_STANDARD 11 C_EXTENSIONS OFF)

# 32-bit builds: every offset and size of the published layout is asserted there.
add_test(NAME include_headers_cxx_m32
  COMMAND ${CMAKE_CXX_COMPILER} -m32 -std=c++17 -fsyntax-only ${ZY_HEADER_WARNINGS}
          -I${ZY_HEADER_DIR} ${ZY_HEADER_CHECKS}/module_usage.cpp)
add_test(NAME include_headers_c11_m32
  COMMAND ${CMAKE_C_COMPILER} -m32 -std=c11 -fsyntax-only ${ZY_HEADER_WARNINGS}
          -I${ZY_HEADER_DIR} ${ZY_HEADER_CHECKS}/c_usage.c)
add_test(NAME include_headers_c99
  COMMAND ${CMAKE_C_COMPILER} -std=c99 -fsyntax-only ${ZY_HEADER_WARNINGS}
          -I${ZY_HEADER_DIR} ${ZY_HEADER_CHECKS}/c_usage.c)
add_test(NAME include_minimal_program_m32
  COMMAND ${CMAKE_CXX_COMPILER} -m32 -std=c++17 -fsyntax-only ${ZY_HEADER_WARNINGS}
          -I${ZY_HEADER_DIR} ${CMAKE_CURRENT_SOURCE_DIR}/programs/minimal/minimal.cpp)

# A wrong layout claim must stop the compiler, in each language mode the header supports.
add_test(NAME include_layout_check_fires_c11_m32
  COMMAND ${CMAKE_C_COMPILER} -m32 -std=c11 -fsyntax-only -I${ZY_HEADER_DIR}
          ${ZY_HEADER_CHECKS}/assert_fires.c)
add_test(NAME include_layout_check_fires_c99
  COMMAND ${CMAKE_C_COMPILER} -std=c99 -fsyntax-only -I${ZY_HEADER_DIR}
          ${ZY_HEADER_CHECKS}/assert_fires.c)
add_test(NAME include_layout_check_fires_cxx
  COMMAND ${CMAKE_CXX_COMPILER} -x c++ -std=c++17 -fsyntax-only -I${ZY_HEADER_DIR}
          ${ZY_HEADER_CHECKS}/assert_fires.c)
set_tests_properties(include_layout_check_fires_c11_m32 include_layout_check_fires_cxx
  PROPERTIES PASS_REGULAR_EXPRESSION "engine interface slot 2 is not Log")
set_tests_properties(include_layout_check_fires_c99
  PROPERTIES PASS_REGULAR_EXPRESSION "zy_static_assert_[0-9]+.*negative|negative.*zy_static_assert_")

set_tests_properties(include_headers_cxx_m32 include_headers_c11_m32 include_headers_c99
  include_minimal_program_m32 include_layout_check_fires_c11_m32
  include_layout_check_fires_c99 include_layout_check_fires_cxx
  PROPERTIES LABELS include)

# The folders of src/ are layers: a file includes only its own folder and those below.
add_test(NAME layers_include_only_downward
  COMMAND ${CMAKE_COMMAND} -DSRC_DIR=${PROJECT_SOURCE_DIR}/src -P ${CMAKE_CURRENT_SOURCE_DIR}/layers_check.cmake)
set_tests_properties(layers_include_only_downward PROPERTIES LABELS include)
