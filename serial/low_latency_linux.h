#pragma once
// Low latency on a USB serial adapter (Linux): such adapters hold received bytes until their latency
// timer runs out (16 ms by default on FTDI chips), which adds up to that much to every reply. The
// driver's low-latency flag asks for its shortest timer (ftdi_sio: 1 ms).
namespace hexloader {

// Sets the flag on the open tty Fd. False when the port has no such setting or refuses it
// (pseudo-terminals answer ENOTTY or EINVAL): the port then works as before, so this is no error.
// WasSet tells whether the flag was on already.
bool RequestLowLatency(int Fd, bool& WasSet);
// Clears the flag again (for a port on which RequestLowLatency set it); failures are ignored.
void ReleaseLowLatency(int Fd);

}  // namespace hexloader
