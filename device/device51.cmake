# Included from device/CMakeLists.txt.
# The device program for the 8051 family (device/8051), built with sdcc into this folder:
# loader51.ihx, the simulation build, and loader51-wrong-reply.ihx, which answers the fourth frame
# (the second data frame) wrongly, for the tests of the loader's reaction; loader51-57600.ihx talks at
# 57,600 bit/s instead of 19,200.
find_program(HEXLOADER_SDCC sdcc)
if(NOT HEXLOADER_SDCC)
  message(WARNING "sdcc not found: the 8051 device program and the tests against it are left out "
                  "(scripts/install-deps.sh installs it)")
  return()  # to device/CMakeLists.txt: the other families are still built
endif()

# 128 bytes of internal RAM: it fits the plain 8051. No external data memory for the program itself:
# the simulation build keeps the image there.
set(device51_flags -mmcs51 --iram-size 128 --xram-size 0)
# The frame exchange (common/) is shared with the other families; board and UART are the 8051's own.
set(device51_sources 8051/loader51.c 8051/uart.c 8051/board_sim.c common/frame_loop.c)
set(device51_headers ${CMAKE_CURRENT_SOURCE_DIR}/8051/board.h ${CMAKE_CURRENT_SOURCE_DIR}/8051/uart.h
  ${CMAKE_CURRENT_SOURCE_DIR}/common/frames.h ${CMAKE_CURRENT_SOURCE_DIR}/common/frame_loop.h)
set(device51_includes -I${CMAKE_CURRENT_SOURCE_DIR}/8051 -I${CMAKE_CURRENT_SOURCE_DIR}/common)

# hexloader_device51(NAME [DEFINES -DNAME=VALUE ...]): builds NAME.ihx here.
function(hexloader_device51 name)
  cmake_parse_arguments(D "" "" "DEFINES" ${ARGN})
  set(objects ${CMAKE_CURRENT_BINARY_DIR}/${name}.obj)
  set(rels)
  foreach(source ${device51_sources})
    get_filename_component(base ${source} NAME_WE)
    set(rel ${objects}/${base}.rel)
    add_custom_command(OUTPUT ${rel}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${objects}
      COMMAND ${HEXLOADER_SDCC} ${device51_flags} ${device51_includes} ${D_DEFINES} -c ${CMAKE_CURRENT_SOURCE_DIR}/${source} -o ${rel}
      DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${source} ${device51_headers}
      COMMENT "sdcc ${name}: ${source}"
      VERBATIM)
    list(APPEND rels ${rel})
  endforeach()
  add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${name}.ihx
    COMMAND ${HEXLOADER_SDCC} ${device51_flags} ${rels} -o ${CMAKE_CURRENT_BINARY_DIR}/${name}.ihx
    DEPENDS ${rels}
    COMMENT "sdcc ${name}.ihx"
    VERBATIM)
endfunction()

hexloader_device51(loader51)
hexloader_device51(loader51-wrong-reply DEFINES -DWRONG_REPLY_AT=4)
# A faster line for devices that allow it: 57,600 bit/s is exact with the 11.0592 MHz crystal.
hexloader_device51(loader51-57600 DEFINES -DBAUD=57600)
set(device51_builds loader51 loader51-wrong-reply loader51-57600)
# make device BAUD=N: one more build for that rate, loader51-N.ihx (N must divide 57,600).
set(HEXLOADER_DEVICE_BAUD "" CACHE STRING "Another line rate to build the 8051 device program for (bit/s)")
if(HEXLOADER_DEVICE_BAUD AND NOT HEXLOADER_DEVICE_BAUD MATCHES "^(19200|57600)$")
  hexloader_device51(loader51-${HEXLOADER_DEVICE_BAUD} DEFINES -DBAUD=${HEXLOADER_DEVICE_BAUD})
  list(APPEND device51_builds loader51-${HEXLOADER_DEVICE_BAUD})
endif()
list(TRANSFORM device51_builds PREPEND ${CMAKE_CURRENT_BINARY_DIR}/)
list(TRANSFORM device51_builds APPEND .ihx)
add_custom_target(device ALL DEPENDS ${device51_builds})

# For the tests and demos.
set(HEXLOADER_DEVICE51 ${CMAKE_CURRENT_BINARY_DIR}/loader51.ihx PARENT_SCOPE)
set(HEXLOADER_DEVICE51_WRONG_REPLY ${CMAKE_CURRENT_BINARY_DIR}/loader51-wrong-reply.ihx PARENT_SCOPE)
set(HEXLOADER_DEVICE51_57600 ${CMAKE_CURRENT_BINARY_DIR}/loader51-57600.ihx PARENT_SCOPE)
