#include <stdint.h>
__sfr __at(0x90) P1;
static const uint8_t pattern[] = {1, 2, 4, 8, 16, 32, 64, 128, 0x55, 0xAA};
volatile uint16_t ticks;
void timer0_isr(void) __interrupt(1) { ticks++; }
void delay(uint16_t n) { while (n--) ; }
void main(void) {
  uint8_t i = 0;
  for (;;) { P1 = pattern[i]; if (++i == sizeof pattern) i = 0; delay(1000 + ticks); }
}
