# Project-wide helpers: warnings, test registration.

option(MARROWFIN_WERROR "Treat warnings as errors" OFF)

function(marrowfin_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(MARROWFIN_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# marrowfin_test(name SOURCES ... LIBS ...): one GoogleTest executable, one ctest entry.
function(marrowfin_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  marrowfin_warnings(${name})
  # Every suite may use the one test platform (tests/support).
  target_link_libraries(${name} PRIVATE ${T_LIBS} mf_platform GTest::gtest_main)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests/support)
  if(WIN32)
    target_link_options(${name} PRIVATE -static)
  endif()
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}")
  if(WIN32)
    # A program that dies under Wine (a smashed stack that takes the X
    # connection down, say) can leave Wine with exit code 0: a suite passes
    # only when GoogleTest itself says so.
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_session
      PASS_REGULAR_EXPRESSION "\\[  PASSED  \\]" FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
  endif()
endfunction()

# Adds every immediate subfolder of DIR that has a CMakeLists.txt, in name order.
function(marrowfin_add_subdirs dir)
  file(GLOB children RELATIVE ${dir} ${dir}/*)
  list(SORT children)
  foreach(child ${children})
    if(EXISTS ${dir}/${child}/CMakeLists.txt)
      add_subdirectory(${dir}/${child})
    endif()
  endforeach()
endfunction()
