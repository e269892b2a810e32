# Included from device/CMakeLists.txt.
# The bootloader for the AVR ATmega328P at 16 MHz (device/avr), built with avr-gcc into this folder:
# loader-avr.elf (for the simulation, hexloader-sim --avr) and loader-avr.hex (for an ISP programmer).
# The 8051's device program shares the frame exchange (common/).
# It lies in the 1 KiB boot section, 0x7C00..0x7FFF (fuses BOOTSZ = 10, BOOTRST programmed).
find_program(HEXLOADER_AVR_GCC avr-gcc)
find_program(HEXLOADER_AVR_OBJCOPY avr-objcopy)
if(NOT HEXLOADER_AVR_GCC OR NOT HEXLOADER_AVR_OBJCOPY)
  message(WARNING "avr-gcc not found: the AVR bootloader and the tests against it are left out "
                  "(scripts/install-deps.sh installs it)")
  return()
endif()

set(HEXLOADER_AVR_BOOT_START 0x7C00)
set(avr_flags -mmcu=atmega328p -DF_CPU=16000000UL -DBOOT_START=${HEXLOADER_AVR_BOOT_START}
  -Os -std=gnu99 -Wall -Wextra -Werror -ffunction-sections -fdata-sections)
set(avr_sources avr/loader_avr.c avr/board.c avr/uart.c common/frame_loop.c)
set(avr_headers avr/board.h avr/uart.h common/frames.h common/frame_loop.h)
list(TRANSFORM avr_sources PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
list(TRANSFORM avr_headers PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)
set(avr_elf ${CMAKE_CURRENT_BINARY_DIR}/loader-avr.elf)
set(avr_hex ${CMAKE_CURRENT_BINARY_DIR}/loader-avr.hex)
add_custom_command(OUTPUT ${avr_elf}
  COMMAND ${HEXLOADER_AVR_GCC} ${avr_flags} -I${CMAKE_CURRENT_SOURCE_DIR}/avr -I${CMAKE_CURRENT_SOURCE_DIR}/common
          ${avr_sources} -Wl,--gc-sections -Wl,--section-start=.text=${HEXLOADER_AVR_BOOT_START}
          # the flash ends at 32 KiB: a bootloader grown past its 1 KiB fails to link
          -Wl,--defsym=__TEXT_REGION_LENGTH__=0x8000
          -o ${avr_elf}
  DEPENDS ${avr_sources} ${avr_headers}
  COMMENT "avr-gcc loader-avr.elf"
  VERBATIM)
add_custom_command(OUTPUT ${avr_hex}
  COMMAND ${HEXLOADER_AVR_OBJCOPY} -O ihex -j .text -j .data ${avr_elf} ${avr_hex}
  DEPENDS ${avr_elf}
  COMMENT "avr-objcopy loader-avr.hex"
  VERBATIM)
# The bootloader's bytes from BOOT_START on, for the tests that check it stays intact.
set(avr_bin ${CMAKE_CURRENT_BINARY_DIR}/loader-avr.bin)
add_custom_command(OUTPUT ${avr_bin}
  COMMAND ${HEXLOADER_AVR_OBJCOPY} -O binary -j .text -j .data ${avr_elf} ${avr_bin}
  DEPENDS ${avr_elf}
  COMMENT "avr-objcopy loader-avr.bin"
  VERBATIM)
# The sample application as an ELF file linked at 0x0000: what a bootloader is not, for the tests.
set(avr_sample_elf ${CMAKE_CURRENT_BINARY_DIR}/blink-avr.elf)
add_custom_command(OUTPUT ${avr_sample_elf}
  COMMAND ${HEXLOADER_AVR_GCC} -mmcu=atmega328p -DF_CPU=16000000UL -Os -Wall -Wextra -Werror
          ${PROJECT_SOURCE_DIR}/samples/blink-avr.c -o ${avr_sample_elf}
  DEPENDS ${PROJECT_SOURCE_DIR}/samples/blink-avr.c
  COMMENT "avr-gcc blink-avr.elf"
  VERBATIM)
add_custom_target(device-avr ALL DEPENDS ${avr_elf} ${avr_hex} ${avr_bin} ${avr_sample_elf})

# For the tests and demos.
set(HEXLOADER_DEVICE_AVR ${avr_elf} PARENT_SCOPE)
set(HEXLOADER_DEVICE_AVR_BIN ${avr_bin} PARENT_SCOPE)
set(HEXLOADER_AVR_SAMPLE_ELF ${avr_sample_elf} PARENT_SCOPE)
set(HEXLOADER_DEVICE_AVR_BOOT_START ${HEXLOADER_AVR_BOOT_START} PARENT_SCOPE)
