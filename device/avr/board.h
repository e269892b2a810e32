/* The ATmega328P's part of the frame exchange (see ../common/frame_loop.h): each data frame is one
 * 128-byte flash page, erased and written through avr-libc's <avr/boot.h> before the answer. The
 * bootloader itself lies in the boot section from BOOT_START (a byte address, set by the build and
 * matching the BOOTSZ fuses) to the end of the flash; a frame that would reach it is answered wrongly
 * and not written, so the bootloader always stays intact. */
#ifndef LOADER_AVR_BOARD_H
#define LOADER_AVR_BOARD_H

#ifndef BOOT_START
#error "BOOT_START: the boot section's first byte address (0x7C00 for 1 KiB)"
#endif

/* Called once at reset: keeps the reset cause for the application in GPIOR0 and stops a watchdog that an
 * application's watchdog reset left running. */
void board_init(void);

/* Whether the flash below the bootloader holds an application (its reset vector is not erased). */
unsigned char application_present(void);

/* Waits up to APPLICATION_WAIT_MS for the first byte from the loader; nonzero when one came. */
unsigned char loader_heard(void);

void store(unsigned int address, unsigned char value);
unsigned char commit(unsigned int address);
/* Leaves the hardware as after reset and starts the application at 0x0000. */
void finish(void);

#endif
