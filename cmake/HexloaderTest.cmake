# hexloader_add_test(NAME SOURCES ... LIBS ... [TSAN] [LABELS ...])
# Builds one GoogleTest executable and registers its cases with CTest.
# TSAN marks tests of threaded code (serial, session): the ThreadSanitizer build runs only these,
# and the custom target 'tsan_tests' builds only these.
find_package(GTest REQUIRED)
include(GoogleTest)

function(hexloader_add_test name)
  cmake_parse_arguments(T "TSAN" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  set(labels ${T_LABELS})
  if(T_TSAN)
    list(APPEND labels tsan)
    set_property(GLOBAL APPEND PROPERTY HEXLOADER_TSAN_TESTS ${name})
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS "${labels}"
    DISCOVERY_TIMEOUT 60)
endfunction()
