#pragma once
// The TCP options the network line sets on Linux (Linux has the per-socket keep-alive timing and the
// user time-out; the POSIX socket code calls this once per socket).
namespace hexloader {

// Small segments leave at once (a frame is a write of its own and waits for its reply); a quiet
// connection whose server has gone is noticed within some 25 s, one with unacknowledged data within
// 20 s. Failures are ignored: the line works without them, only later to notice a dead server.
void TuneTcpSocket(int Fd);

}  // namespace hexloader
