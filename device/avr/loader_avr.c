/* The bootloader of hexloader for the ATmega328P. After reset it sends the hello 0x55 and serves the
 * frames (../common/frame_loop.c), one flash page per data frame (board.c); after the end frame's echo
 * it starts the application at 0x0000. When the loader on the PC does not answer the hello within
 * APPLICATION_WAIT_MS and an application is in the flash, the board starts it: a board switched on
 * without the loader runs its program. Everything runs by polling, without interrupts. */
#include "board.h"
#include "frame_loop.h"
#include "frames.h"
#include "uart.h"

int main(void) {
  board_init();
  uart_init();
  uart_put(HELLO);
  if (!loader_heard() && application_present()) finish();
  serve_frames();
  return 0;
}
