#include "serial/kernel_termios_linux.h"

#include <asm/ioctls.h>
#include <sys/ioctl.h>
#include <cerrno>

namespace hexloader {

int GetKernelTermios(int Fd, TKernelTermios& Settings) { return ioctl(Fd, TCGETS2, &Settings) == 0 ? 0 : errno; }

int SetKernelTermios(int Fd, const TKernelTermios& Settings) { return ioctl(Fd, TCSETS2, &Settings) == 0 ? 0 : errno; }

}  // namespace hexloader
