#pragma once
// Why this file exists: any bit rate (UserBaudrate) needs the kernel's struct termios2 and BOTHER from
// <asm/termbits.h>, but that header defines struct termios and the flag macros again, so it cannot be
// included together with glibc's <termios.h>. The serial layer therefore takes its termios definitions
// only from here and never includes <termios.h>.
#include <asm/termbits.h>

namespace hexloader {

using TKernelTermios = struct termios2;

// The device's current settings; 0 or errno.
int GetKernelTermios(int Fd, TKernelTermios& Settings);
// Applies Settings at once; 0 or errno.
int SetKernelTermios(int Fd, const TKernelTermios& Settings);

}  // namespace hexloader
