/* The device side of hexloader for the 8051 family. After reset it sends 0x55; from then on it echoes
 * every byte it receives, at once, and answers each frame after the echo of its last byte:
 *
 *   sync     55 33 CC                       -> AA
 *   address  11 hi lo                       -> AA
 *   data     22 hi lo, 128 data bytes       -> the sum of the 128 data bytes, modulo 256
 *   end      99 00 00                       -> no answer; finish() writes and starts the image
 *
 * Each data byte goes to store() at the frame's address plus its place in the frame. Everything runs
 * by polling: a byte arrives every 480 machine cycles at 19,200 bit/s, and the work per byte stays well
 * below that, so the receiver is never overrun. The board's part is in board.h. */
#include "board.h"
#include "uart.h"

#define HELLO 0x55
#define ACK 0xAA
#define FRAME_SYNC 0x55
#define FRAME_ADDRESS 0x11
#define FRAME_DATA 0x22
#define FRAME_END 0x99
#define SYNC_HIGH 0x33
#define SYNC_LOW 0xCC
#define DATA_BYTES 128

/* Test builds answer frame number WRONG_REPLY_AT (counted from 1 after reset, frames of every kind) with
 * a wrong byte, to show the loader's reaction. 0: never. */
#ifndef WRONG_REPLY_AT
#define WRONG_REPLY_AT 0
#endif

static unsigned char get_echoed(void) {
  unsigned char value = uart_get();
  uart_put(value);
  return value;
}

/* Takes the data bytes of a data frame whose address has arrived; returns their sum. */
static unsigned char receive_data(unsigned int address) {
  unsigned char sum = 0;
  unsigned char left = DATA_BYTES;
  do {
    unsigned char value = get_echoed();
    store(address++, value); /* wraps from 0xFFFF to 0x0000 as the frames' addresses do */
    sum += value;
  } while (--left);
  return sum;
}

void main(void) {
  unsigned int frames = 0;
  board_init();
  uart_init();
  uart_put(HELLO);
  for (;;) {
    unsigned char kind = get_echoed();
    unsigned char high, low, reply;
    if (kind != FRAME_SYNC && kind != FRAME_ADDRESS && kind != FRAME_DATA && kind != FRAME_END)
      continue; /* not the start of a frame (noise on the line): echoed, otherwise ignored */
    high = get_echoed();
    low = get_echoed();
    ++frames;
    switch (kind) {
      case FRAME_SYNC:
        if (high != SYNC_HIGH || low != SYNC_LOW) continue; /* not a sync frame: no answer */
        reply = ACK;
        break;
      case FRAME_ADDRESS:
        reply = ACK; /* data frames carry their own address; this one only announces it */
        break;
      case FRAME_DATA:
        reply = receive_data(((unsigned int)high << 8) | low);
        break;
      default: /* FRAME_END */
        uart_flush(); /* the end frame's echo leaves the line before the board takes over */
        finish();
        continue;
    }
    if (frames == WRONG_REPLY_AT) reply ^= 0x5A;
    uart_put(reply);
  }
}
