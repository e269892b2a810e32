# hexloader_add_test(NAME SOURCES ... LIBS ... [TSAN] [SERIAL] [LABELS ...] [PROPERTIES ...])
# Builds one GoogleTest executable and registers its cases with CTest.
# TSAN marks tests of threaded code (serial, session): the ThreadSanitizer build runs only these,
# and the custom target 'tsan_tests' builds only these. SERIAL: never run together with other tests
# (each case takes a whole core for long). PROPERTIES: further CTest properties of every case
# (a fixture the cases need, their environment).
if(CMAKE_CROSSCOMPILING)
  # Debian's GoogleTest libraries are built for Linux; the cross build compiles its sources
  # (package googletest) with the cross compiler.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
  foreach(lib gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${lib})
      add_library(GTest::${lib} ALIAS ${lib})
    endif()
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()
include(GoogleTest)

function(hexloader_add_test name)
  cmake_parse_arguments(T "TSAN;SERIAL" "" "SOURCES;LIBS;LABELS;PROPERTIES" ${ARGN})
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
  if(CMAKE_CROSSCOMPILING)
    # One CTest test per program: listing its cases first would cost a start under the emulator each.
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS "${labels}" WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR} ${serial}
      ${T_PROPERTIES})
  else()
    gtest_discover_tests(${name}
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
      PROPERTIES LABELS "${labels}" ${serial} ${T_PROPERTIES}
      DISCOVERY_TIMEOUT 60)
  endif()
endfunction()
