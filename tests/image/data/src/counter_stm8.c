#include <stdint.h>
#define PB_ODR (*(volatile uint8_t *)0x5005)
#define PB_DDR (*(volatile uint8_t *)0x5007)
static const uint16_t steps[] = {1, 3, 7, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767};
static uint16_t checksum(const uint16_t *p, uint8_t n) { uint16_t s = 0; while (n--) s += *p++; return s; }
void main(void) {
  uint8_t i = 0;
  PB_DDR = 0xFF;
  for (;;) {
    PB_ODR = (uint8_t)(steps[i] ^ checksum(steps, i));
    if (++i == sizeof steps / sizeof steps[0]) i = 0;
  }
}
