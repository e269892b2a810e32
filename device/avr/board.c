#include "board.h"

#include <avr/boot.h>
#include <avr/eeprom.h>
#include <avr/interrupt.h>
#include <avr/io.h>
#include <avr/pgmspace.h>
#include <avr/wdt.h>

#include "frames.h"
#include "uart.h"

#if SPM_PAGESIZE != DATA_BYTES
#error "one data frame must be one flash page"
#endif
#if BOOT_START % SPM_PAGESIZE != 0 || BOOT_START > FLASHEND
#error "BOOT_START must be a page address inside the flash"
#endif

/* How long the bootloader waits after its hello for the loader on the PC before it starts an
 * application already in the flash. The loader answers the hello with the sync frame at once. */
#ifndef APPLICATION_WAIT_MS
#define APPLICATION_WAIT_MS 1000
#endif
/* Timer 1 counts F_CPU / 1024: 15,625 ticks a second at 16 MHz. */
#define WAIT_TICKS (F_CPU / 1024UL * APPLICATION_WAIT_MS / 1000UL)
#if WAIT_TICKS > 65535
#error "APPLICATION_WAIT_MS too long for timer 1"
#endif

/* The page being received: the bytes come every 520 us at 19,200 bit/s, far too often to program the
 * flash between them, so the page is written once the frame is complete. */
static unsigned char page[SPM_PAGESIZE];

void board_init(void) {
  cli(); /* already so after reset; an application that jumps here may have left them on */
  GPIOR0 = MCUSR;
  MCUSR = 0; /* the watchdog cannot be stopped while its reset flag is set */
  wdt_disable();
}

unsigned char application_present(void) { return pgm_read_word(0) != 0xFFFF; }

unsigned char loader_heard(void) {
  unsigned char heard;
  TCNT1 = 0;
  TCCR1B = _BV(CS12) | _BV(CS10); /* clock / 1024 */
  while (!(heard = uart_ready()) && TCNT1 < WAIT_TICKS) {
  }
  TCCR1B = 0;
  TCNT1 = 0;
  return heard;
}

void store(unsigned int address, unsigned char value) { page[address % SPM_PAGESIZE] = value; }

unsigned char commit(unsigned int address) {
  unsigned char i;
  /* The loader sends page-aligned frames; anything else, or a page of the bootloader's own, is refused
   * before the flash is touched. */
  if (address % SPM_PAGESIZE != 0 || address >= BOOT_START) return 0;
  eeprom_busy_wait(); /* the flash cannot be programmed while an EEPROM write the application began runs */
  boot_page_erase(address);
  boot_spm_busy_wait();
  for (i = 0; i < SPM_PAGESIZE; i += 2) boot_page_fill(address + i, page[i] | (page[i + 1] << 8));
  boot_page_write(address);
  boot_spm_busy_wait();
  boot_rww_enable(); /* the application section can be read again (and run) */
  return 1;
}

void finish(void) {
  uart_off();
  /* A jump, not a reset: the reset vector points at the bootloader (BOOTRST). */
  __asm__ __volatile__("jmp 0");
  for (;;) {
  }
}
