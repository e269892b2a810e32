#include "uart.h"

#include <8051.h>

/* Timer 1 in 8-bit auto-reload mode makes the bit clock: with SMOD set, bit/s = crystal / 12 / 16 /
 * (256 - reload). 11.0592 MHz / 192 / 3 = 19,200 exactly. A board with another crystal changes this
 * reload value (a crystal that 19,200 bit/s does not divide evenly needs timer 2 or a baud-rate
 * generator of its derivative instead), as does a derivative that runs one machine cycle per clock. */
#define UART_RELOAD 0xFD

void uart_init(void) {
  TR1 = 0;
  TMOD = (TMOD & 0x0F) | 0x20; /* timer 1: mode 2, 8-bit auto-reload, counting machine cycles */
  TH1 = UART_RELOAD;
  TL1 = UART_RELOAD;
  PCON |= 0x80; /* SMOD: twice the rate of timer 1's overflows */
  SCON = 0x50;  /* mode 1 (8N1 at timer 1's rate), receiver on */
  TR1 = 1;
  TI = 1; /* the transmitter is idle: the first uart_put need not wait */
}

unsigned char uart_get(void) {
  unsigned char value;
  while (!RI) {
  }
  value = SBUF;
  RI = 0;
  return value;
}

void uart_put(unsigned char value) {
  while (!TI) {
  }
  TI = 0;
  SBUF = value;
}

void uart_flush(void) {
  while (!TI) {
  }
}
