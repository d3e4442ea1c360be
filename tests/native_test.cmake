# tcp_native_test(NAME sources... LIBS libs...): one GoogleTest program, its
# cases registered with CTest one by one.
include(GoogleTest)
function(tcp_native_test name)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest_main)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
endfunction()
