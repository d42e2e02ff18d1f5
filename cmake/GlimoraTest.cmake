include(GoogleTest)

# glimora_add_test(<name> SOURCES <files...> LIBRARIES <targets...>)
# One GoogleTest binary per test folder topic. Tests are discovered when ctest runs,
# so discovery and tests both see the offscreen platform that the test main sets.
function(glimora_add_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBRARIES" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE glimora_test_support ${ARG_LIBRARIES})
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    NO_PRETTY_VALUES
    PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
