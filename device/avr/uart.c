#include "uart.h"

#include <avr/io.h>

#ifndef BAUD
#define BAUD 19200
#endif
/* Normal speed (16 samples a bit), rounded to the nearest divisor: 51 at 16 MHz and 19,200 bit/s,
 * 0.2 % fast, well inside what a UART takes. */
#define UART_DIVISOR ((F_CPU + 8UL * BAUD) / (16UL * BAUD) - 1)
#if UART_DIVISOR > 4095
#error "BAUD too low for F_CPU"
#endif

void uart_init(void) {
  UBRR0 = UART_DIVISOR;
  UCSR0A = 0;
  UCSR0C = _BV(UCSZ01) | _BV(UCSZ00); /* 8N1 */
  UCSR0B = _BV(RXEN0) | _BV(TXEN0);
}

unsigned char uart_ready(void) { return (UCSR0A & _BV(RXC0)) != 0; }

unsigned char uart_get(void) {
  while (!uart_ready()) {
  }
  return UDR0;
}

void uart_put(unsigned char value) {
  while (!(UCSR0A & _BV(UDRE0))) {
  }
  /* Writing one clears the transmit-complete flag (and leaves U2X0 off): once it is set again, this
   * byte has left the line. */
  UCSR0A = _BV(TXC0);
  UDR0 = value;
}

void uart_flush(void) {
  while (!(UCSR0A & _BV(TXC0))) {
  }
}

void uart_off(void) {
  UCSR0B = 0;
  UCSR0C = _BV(UCSZ01) | _BV(UCSZ00); /* the reset values */
  UBRR0 = 0;
  UCSR0A = _BV(TXC0);
}
