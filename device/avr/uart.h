/* USART0 of the ATmega328P, polled: 19,200 bit/s (or the build's BAUD), 8 data bits, no parity, 1 stop
 * bit, from the F_CPU clock. */
#ifndef LOADER_AVR_UART_H
#define LOADER_AVR_UART_H

void uart_init(void);
/* Waits for the next received byte. */
unsigned char uart_get(void);
/* Whether a received byte waits to be taken with uart_get (it stays there). */
unsigned char uart_ready(void);
/* Waits until the previous byte has left the transmitter, then starts this one. */
void uart_put(unsigned char value);
/* Waits until the last byte started has left the transmitter (its stop bit included). */
void uart_flush(void);
/* Switches the USART off and gives its pins back, as after reset, for the application. */
void uart_off(void);

#endif
