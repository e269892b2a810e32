/* The device side of hexloader for the 8051 family. After reset it sends the hello 0x55, then serves
 * the frames (../common/frame_loop.c): it echoes every byte it receives, at once, answers each frame
 * after the echo of its last byte, gives each data byte to store() at the frame's address plus its
 * place in the frame, and calls finish() after the end frame.
 *
 * Everything runs by polling: a byte arrives every 480 machine cycles at 19,200 bit/s, and the work per
 * byte stays well below that, so the receiver is never overrun. The board's part is in board.h. */
#include "board.h"
#include "frame_loop.h"
#include "frames.h"
#include "uart.h"

void main(void) {
  board_init();
  uart_init();
  uart_put(HELLO);
  serve_frames();
}
