# hexloader_add_test(NAME SOURCES ... LIBS ... [TSAN] [SERIAL] [LABELS ...])
# Builds one GoogleTest executable and registers its cases with CTest.
# TSAN marks tests of threaded code (serial, session): the ThreadSanitizer build runs only these,
# and the custom target 'tsan_tests' builds only these. SERIAL: never run together with other tests
# (each case takes a whole core for long).
find_package(GTest REQUIRED)
include(GoogleTest)

function(hexloader_add_test name)
  cmake_parse_arguments(T "TSAN;SERIAL" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  set(labels ${T_LABELS})
  if(T_TSAN)
    list(APPEND labels tsan)
    set_property(GLOBAL APPEND PROPERTY HEXLOADER_TSAN_TESTS ${name})
  endif()
  set(serial)
  if(T_SERIAL)
    set(serial RUN_SERIAL TRUE)
  endif()
  gtest_discover_tests(${name}
    WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
    PROPERTIES LABELS "${labels}" ${serial}
    DISCOVERY_TIMEOUT 60)
endfunction()
