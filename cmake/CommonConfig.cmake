# Flags every target of ours shares, in one place.
add_library(pyrelto_common INTERFACE)
target_compile_features(pyrelto_common INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(pyrelto_common INTERFACE -Wall -Wextra -Wpedantic)
if(PYRELTO_WERROR)
  target_compile_options(pyrelto_common INTERFACE -Werror)
endif()
if(PYRELTO_SANITIZE)
  target_compile_options(pyrelto_common INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=undefined
                                                  -fno-omit-frame-pointer)
  target_link_options(pyrelto_common INTERFACE -fsanitize=address,undefined -fno-sanitize-recover=undefined)
endif()

# Qt code additionally refuses implicit ASCII casts and context-less connects.
add_library(pyrelto_qt_common INTERFACE)
target_link_libraries(pyrelto_qt_common INTERFACE pyrelto_common)
target_compile_definitions(pyrelto_qt_common INTERFACE QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT)

# One test executable per folder, registered with CTest once: a process per test case would spend
# most of the run starting up. GoogleTest names every failing case in the output
# (ctest --output-on-failure), and the executable runs any single case with --gtest_filter.
function(pyrelto_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main pyrelto_common)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(T_GUI)
    set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
endfunction()
