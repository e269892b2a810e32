/* The device's side of the frame exchange, shared by every family (see frames.h). The family's folder
 * supplies, through its own "uart.h" and "board.h":
 *
 *   unsigned char uart_get(void);          waits for the next received byte
 *   void uart_put(unsigned char value);    waits until the previous byte has left, then starts this one
 *   void uart_flush(void);                 waits until the last byte started has left
 *   void store(unsigned int address, unsigned char value);
 *                                          one data byte at its device address, as it arrives (between
 *                                          two bytes on the line: it must be quick)
 *   unsigned char commit(unsigned int address);
 *                                          after the last data byte of the frame at address, before the
 *                                          answer: nonzero when the frame's bytes are kept; zero makes
 *                                          the answer wrong, which stops the loader
 *   void finish(void);                     after the end frame's echo has left; does not return
 */
#ifndef DEVICE_FRAME_LOOP_H
#define DEVICE_FRAME_LOOP_H

/* Serves frames for ever, from the first byte of the first frame on (the family's main() has set up the
 * board and the UART and sent the hello). Bytes that start no frame are echoed and otherwise ignored. */
void serve_frames(void);

#endif
