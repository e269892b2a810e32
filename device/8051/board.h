/* What the loader needs from the board it runs on. The simulation build (board_sim.c) keeps the image
 * in external data memory and stops the simulator at the end; a port to a real board supplies its own
 * board_<name>.c with these four functions and changes nothing else. */
#ifndef LOADER51_BOARD_H
#define LOADER51_BOARD_H

/* Called once, before the UART is set up. A port sets the clock here and stops or feeds the watchdog
 * of its derivative: the loader polls the UART and waits as long as the loader on the PC needs. */
void board_init(void);

/* Stores one image byte at its device address (0x0000..0xFFFF, the frames' 16-bit addresses). Called
 * as each data byte arrives, between two bytes on the line: at 19,200 bit/s the next byte is complete
 * 480 machine cycles later, so a port that writes flash collects a page in RAM here and programs it in
 * finish() (or when the page is full, if programming a page is quicker than a byte on the line). */
void store(unsigned int address, unsigned char value);

/* Called after the last data byte of the frame at address, before the answer: nonzero when the frame's
 * bytes are kept, zero to answer wrongly (the loader then stops), for example for a frame that would
 * overwrite the loader's own code. */
unsigned char commit(unsigned int address);

/* Called after the end frame has been echoed. Does not return: a board writes what store() still holds
 * to its flash, then starts the application (a jump to its reset address, or a reset that skips the
 * loader). The loader's own code must therefore sit where the image does not go, for example in a boot
 * block linked with --code-loc. */
void finish(void);

#endif
