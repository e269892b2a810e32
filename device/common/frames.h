/* The frames the loader on the PC sends and the bytes the device answers, the same on every family:
 *
 *   hello    the device sends 55 when it starts
 *   sync     55 33 CC                       -> AA
 *   address  11 hi lo                       -> AA
 *   data     22 hi lo, 128 data bytes       -> the sum of the 128 data bytes, modulo 256
 *   end      99 00 00                       -> no answer; the device starts the image
 *
 * Addresses are 16 bits, high byte first. The device echoes every byte it receives at once, and sends
 * each answer after the echo of the frame's last byte. */
#ifndef DEVICE_FRAMES_H
#define DEVICE_FRAMES_H

#define HELLO 0x55
#define ACK 0xAA
#define FRAME_SYNC 0x55
#define FRAME_ADDRESS 0x11
#define FRAME_DATA 0x22
#define FRAME_END 0x99
#define SYNC_HIGH 0x33
#define SYNC_LOW 0xCC
#define DATA_BYTES 128

/* Turns a right answer into a wrong one, whatever its value: the loader then stops with its reply
 * error and sends nothing more. */
#define WRONG_REPLY_MASK 0x5A

#endif
