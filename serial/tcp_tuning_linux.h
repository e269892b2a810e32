#pragma once
// The TCP options the network line sets on Linux (Linux has the per-socket keep-alive timing and the
// user time-out; the POSIX socket code calls this once per socket).
namespace hexloader {

// Small segments leave at once (a frame is a write of its own and waits for its reply); a quiet
// connection whose server has gone is noticed within some 25 s, one with unacknowledged data within
// 20 s. Failures are ignored: the line works without them, only later to notice a dead server.
void TuneTcpSocket(int Fd);

// Asks for the next segments to be acknowledged at once rather than up to 40 ms later (the kernel
// falls back to delaying by itself, so this follows every receive). A server that leaves Nagle's
// algorithm on (ser2net's default) holds the rest of a device's answer until its first part is
// acknowledged: with delayed acknowledgements every frame would wait some 40 ms.
void AcknowledgeAtOnce(int Fd);

}  // namespace hexloader
