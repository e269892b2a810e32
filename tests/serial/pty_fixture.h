#pragma once
// A pseudo-terminal whose far end (the master) the test drives, a plain event loop as the
// user-interface thread, and the component under test on the near end.
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "core/event_loop.h"
#include "core/exception_display.h"
#include "serial/serial_comm.h"

namespace hexloader::testing_serial {

using namespace std::chrono_literals;
constexpr auto kPatience = std::chrono::milliseconds(30000);  // generous: the machine may be loaded

class TPty {
 public:
  TPty() {
    char name[256] = {};
    if (::openpty(&Master, &Slave, name, nullptr, nullptr) != 0) throw std::runtime_error("openpty failed");
    Path = name;
    ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
    ::fcntl(Slave, F_SETFL, ::fcntl(Slave, F_GETFL) | O_NONBLOCK);
  }
  ~TPty() {
    ::close(Master);
    ::close(Slave);
  }
  TPty(const TPty&) = delete;
  TPty& operator=(const TPty&) = delete;

  void Send(const std::vector<unsigned char>& Bytes) const {
    std::size_t done = 0;
    while (done < Bytes.size()) {
      const ssize_t n = ::write(Master, Bytes.data() + done, Bytes.size() - done);
      if (n > 0) {
        done += static_cast<std::size_t>(n);
      } else {
        pollfd p{Master, POLLOUT, 0};
        ::poll(&p, 1, 1000);
      }
    }
  }
  void Send(const std::string& Text) const { Send(std::vector<unsigned char>(Text.begin(), Text.end())); }

  // Reads until Count bytes came or the far end stayed silent for SilenceMs.
  std::string Receive(std::size_t Count, int SilenceMs = 30000) const {
    std::string got;
    while (got.size() < Count) {
      pollfd p{Master, POLLIN, 0};
      if (::poll(&p, 1, SilenceMs) <= 0) break;
      char buf[4096];
      const ssize_t n = ::read(Master, buf, std::min(sizeof buf, Count - got.size()));
      if (n <= 0) break;
      got.append(buf, static_cast<std::size_t>(n));
    }
    return got;
  }

  // Bytes waiting on the near end's input (what the component would count).
  int NearInQueue() const {
    int n = 0;
    ::ioctl(Slave, FIONREAD, &n);
    return n;
  }

  int Master = -1;
  int Slave = -1;  // kept open so the far end never sees a hang-up between the component's opens
  std::string Path;
};

class SerialFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SetUiDispatcher(&Loop);
    SetExceptionDisplay([this](const std::string& Message) { Shown.push_back(Message); });
    Comm.SetDeviceName(Pty.Path);
    Comm.SetBaudrate(br19200);
  }
  void TearDown() override {
    Comm.Close();
    SetExceptionDisplay(nullptr);
    SetUiDispatcher(nullptr);
  }
  bool RunUntil(const std::function<bool()>& Done) { return Loop.RunUntil(Done, kPatience); }

  TEventLoop Loop;
  TPty Pty;
  std::vector<std::string> Shown;
  TSerialComm Comm;  // declared last: destroyed first, while the loop still exists
};

}  // namespace hexloader::testing_serial
