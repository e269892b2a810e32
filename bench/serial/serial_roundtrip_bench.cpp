// Turnaround of the serial component over a pseudo-terminal: the far end sends one byte, the OnRxChar
// handler reads it and answers with one byte through WriteBuf. The reference is the same exchange by a
// plain blocking read/write loop on the near end, measured in the same run. Then the idle check: an
// open port with nothing arriving must use no CPU (no polling).
// Prints median and 99th percentile of both and their ratios; exits 1 when a goal is missed.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "core/event_loop.h"
#include "serial/serial_comm.h"

using namespace hexloader;
using TClock = std::chrono::steady_clock;

namespace {

struct TPty {
  int Master = -1, Slave = -1;
  std::string Path;
  TPty() {
    char name[256] = {};
    if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0) {
      std::perror("openpty");
      std::exit(2);
    }
    Path = name;
    termios t{};
    ::tcgetattr(Slave, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(Slave, TCSANOW, &t);
  }
  ~TPty() {
    ::close(Master);
    ::close(Slave);
  }
};

bool ReadOne(int Fd) {
  pollfd p{Fd, POLLIN, 0};
  if (::poll(&p, 1, 10000) != 1) return false;
  unsigned char b;
  return ::read(Fd, &b, 1) == 1;
}

// The far end: Exchanges round trips, each timed from its write to the answer's arrival (microseconds).
std::vector<double> FarEnd(int Master, int Exchanges) {
  std::vector<double> rtt;
  rtt.reserve(static_cast<std::size_t>(Exchanges));
  for (int i = 0; i < Exchanges; ++i) {
    const unsigned char b = static_cast<unsigned char>(i);
    const auto t0 = TClock::now();
    if (::write(Master, &b, 1) != 1 || !ReadOne(Master)) {
      std::fprintf(stderr, "exchange %d failed\n", i);
      std::exit(2);
    }
    rtt.push_back(std::chrono::duration<double, std::micro>(TClock::now() - t0).count());
  }
  return rtt;
}

struct TStats {
  double Median, P99;
};

TStats Stats(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return {v[v.size() / 2], v[std::min(v.size() - 1, v.size() * 99 / 100)]};
}

TStats BlockingLoop(int Exchanges) {
  TPty pty;
  std::thread near([&] {
    unsigned char b;
    for (int i = 0; i < Exchanges; ++i) {
      if (::read(pty.Slave, &b, 1) != 1) return;
      if (::write(pty.Slave, &b, 1) != 1) return;
    }
  });
  const std::vector<double> rtt = FarEnd(pty.Master, Exchanges);
  near.join();
  return Stats(rtt);
}

TStats Component(int Exchanges) {
  TPty pty;
  TEventLoop loop;
  SetUiDispatcher(&loop);
  TSerialComm comm;
  comm.SetDeviceName(pty.Path);
  comm.SetBaudrate(br19200);
  comm.SetOnRxChar([](TSerialCustomComm& Sender, int Count) {
    unsigned char buf[4096];
    const int n = Sender.ReadBuf(buf, std::min<int>(Count, sizeof buf));
    Sender.WriteBuf(buf, n);
  });
  comm.Open();
  std::vector<double> rtt;
  std::atomic<bool> done{false};
  std::thread far([&] {
    rtt = FarEnd(pty.Master, Exchanges);
    done = true;
    loop.Wake();
  });
  loop.RunUntil([&] { return done.load(); }, std::chrono::minutes(5));
  far.join();
  comm.Close();
  SetUiDispatcher(nullptr);
  return Stats(rtt);
}

double CpuMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// CPU time the process used while an open port sat idle for IdleMs.
double IdleCpuMs(int IdleMs) {
  TPty pty;
  TEventLoop loop;
  SetUiDispatcher(&loop);
  TSerialComm comm;
  comm.SetDeviceName(pty.Path);
  comm.SetOnRxChar([](TSerialCustomComm&, int) {});
  comm.Open();
  const double before = CpuMs();
  loop.RunUntil([] { return false; }, std::chrono::milliseconds(IdleMs));
  const double used = CpuMs() - before;
  comm.Close();
  SetUiDispatcher(nullptr);
  return used;
}

}  // namespace

int main(int argc, char** argv) {
  const int exchanges = argc > 1 ? std::atoi(argv[1]) : 3000;
  BlockingLoop(200);  // warm-up
  const TStats ref = BlockingLoop(exchanges);
  const TStats comp = Component(exchanges);
  std::printf("round trip over a pseudo-terminal, %d exchanges of one byte each way\n", exchanges);
  std::printf("  blocking read/write loop (reference): median %8.1f us   p99 %8.1f us\n", ref.Median, ref.P99);
  std::printf("  TSerialComm OnRxChar -> WriteBuf:     median %8.1f us   p99 %8.1f us\n", comp.Median, comp.P99);
  const double ratioMedian = comp.Median / ref.Median;
  const double ratioP99 = comp.P99 / ref.P99;
  std::printf("  ratio to reference:                   median %8.2fx    p99 %8.2fx   (goal: median <= 3x)\n",
              ratioMedian, ratioP99);
  const int idleMs = 2000;
  const double idleCpu = IdleCpuMs(idleMs);
  std::printf("idle open port: %.1f ms CPU over %d ms (%.2f%%; goal: no polling, under 1%%)\n", idleCpu, idleMs,
              100.0 * idleCpu / idleMs);
  bool ok = true;
  if (ratioMedian > 3.0) {
    std::printf("GOAL MISSED: median round trip above 3x the blocking loop\n");
    ok = false;
  }
  if (idleCpu > idleMs * 0.01) {
    std::printf("GOAL MISSED: the idle port used CPU\n");
    ok = false;
  }
  return ok ? 0 : 1;
}
