#include "frame_loop.h"

#include "board.h"
#include "frames.h"
#include "uart.h"

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

void serve_frames(void) {
  unsigned int frames = 0;
  for (;;) {
    unsigned char kind = get_echoed();
    unsigned char high, low, reply;
    unsigned int address;
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
        address = ((unsigned int)high << 8) | low;
        reply = receive_data(address);
        if (!commit(address)) reply ^= WRONG_REPLY_MASK;
        break;
      default: /* FRAME_END */
        uart_flush(); /* the end frame's echo leaves the line before the board takes over */
        finish();
        continue;
    }
    if (frames == WRONG_REPLY_AT) reply ^= WRONG_REPLY_MASK;
    uart_put(reply);
  }
}
