/* A small firmware for the AVR demo, for an ATmega328P at 16 MHz: blinks the LED on PB5 (pin 13 of the
 * common 16 MHz boards) at 2 Hz, 250 ms on and 250 ms off. Uploaded by hexloader to the bootloader of
 * device/avr, it starts at 0x0000 once the bootloader hands over. Rebuild blink-avr.hex with
 * build-sample-avr.sh after changing it. */
#include <avr/io.h>
#include <util/delay.h>

#define HALF_PERIOD_MS 250

int main(void) {
  DDRB |= _BV(DDB5);
  for (;;) {
    PORTB ^= _BV(PORTB5);
    _delay_ms(HALF_PERIOD_MS);
  }
}
