#include "uart.h"

#include <8051.h>

/* Timer 1 in 8-bit auto-reload mode makes the bit clock: with SMOD set, bit/s = crystal / 12 / 16 /
 * (256 - reload) = 57,600 / (256 - reload) with the 11.0592 MHz crystal, so 57,600 / BAUD must be a
 * whole number from 1 to 255: 57,600, 28,800, 19,200, 14,400, 9,600 ... exactly. BAUD is 19,200 unless
 * the build says otherwise (every existing loader talks at 19,200). A board with another crystal changes
 * this (a crystal that the rate does not divide evenly needs timer 2 or a baud-rate generator of its
 * derivative instead), as does a derivative that runs one machine cycle per clock. */
#ifndef BAUD
#define BAUD 19200
#endif
#if BAUD <= 0 || 57600 % BAUD != 0 || 57600 / BAUD > 255
#error "BAUD must divide 57600 evenly (57600, 28800, 19200, 14400, 9600, 4800, ...)"
#endif
#define UART_RELOAD (256 - 57600 / BAUD)

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
