/* The board of the simulation build: an 8051 with 64 KiB of external data memory, run by s51. The image
 * goes into external data memory at its own address, so the memory read back after the end frame is
 * the image as the device received it. */
#include "board.h"

/* The simulator's control register (s51 started with -I if=sfr[0xff]). */
__sfr __at(0xFF) SIMULATOR;

void board_init(void) {
  /* The simulated 8051 has no watchdog and runs from its 11.0592 MHz crystal: nothing to set. */
}

void store(unsigned int address, unsigned char value) {
  *(__xdata unsigned char*)address = value;
}

unsigned char commit(unsigned int address) {
  (void)address; /* external data memory holds the whole 64 KiB: every frame is kept */
  return 1;
}

void finish(void) {
  SIMULATOR = 's'; /* stop the simulation; the memory is read back from outside */
  for (;;) {
  }
}
