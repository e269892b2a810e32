/* The 8051's own UART, polled: 19,200 bit/s (or the build's BAUD), 8 data bits, no parity, 1 stop bit. */
#ifndef LOADER51_UART_H
#define LOADER51_UART_H

void uart_init(void);
/* Waits for the next received byte. */
unsigned char uart_get(void);
/* Waits until the previous byte has left the transmitter, then starts this one. */
void uart_put(unsigned char value);
/* Waits until the last byte started has left the transmitter. */
void uart_flush(void);

#endif
