# GoogleTest from Debian's sources, built with our toolchain, and one CTest entry per test program.
enable_testing()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
if(NOT EXISTS /usr/src/googletest/CMakeLists.txt)
  message(FATAL_ERROR "GoogleTest sources missing: run tools/setup.sh (package googletest)")
endif()
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
foreach(_t gtest gtest_main)
  target_compile_options(${_t} PRIVATE -w)
  target_link_options(${_t} INTERFACE -static -static-libgcc -static-libstdc++)
endforeach()

# Picture fixtures made by ImageMagick and exiftool before the tests that open them.
set(QL_FIXTURE_DIR ${CMAKE_BINARY_DIR}/fixtures)
if(QL_RUN_TESTS)
  add_test(NAME make_fixtures COMMAND ${CMAKE_SOURCE_DIR}/tools/fixtures/make_fixtures.sh ${QL_FIXTURE_DIR})
  set_tests_properties(make_fixtures PROPERTIES FIXTURES_SETUP pictures TIMEOUT 300)
endif()

# ql_test(NAME SOURCES... LIBS ... [GUI] [FIXTURES] [TIMEOUT seconds]) builds tests/NAME.exe from the
# sources and registers it. GUI tests need an X display (the test script starts Xvfb). Every test has
# a time limit (300 s unless given), so that a hang fails the run instead of holding it.
function(ql_test name)
  cmake_parse_arguments(T "GUI;FIXTURES" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ql_options ql_test_support gtest ${T_LIBS})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${QL_TEST_BIN_DIR})
  if(QL_RUN_TESTS)
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ENVIRONMENT
      "QL_BIN_DIR=${CMAKE_BINARY_DIR}/bin;QL_SOURCE_DIR=${CMAKE_SOURCE_DIR};QL_FIXTURE_DIR=${QL_FIXTURE_DIR}")
    if(T_FIXTURES)
      set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED pictures)
    endif()
    if(T_GUI)
      set_tests_properties(${name} PROPERTIES LABELS gui)
    endif()
  endif()
endfunction()
