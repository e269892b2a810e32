// Thread priorities changed while the port is open, as an ordinary user runs the program (the test
// drops to an unprivileged user in a child process when it runs as root): the property must always
// name the priority the thread really has.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <thread>

#include "pty_fixture.h"

namespace hexloader::testing_serial {
namespace {

// The nice value of the component's thread with this name (-100 when there is none).
int NiceOf(const std::string& Name) {
  for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
    std::ifstream comm(task.path() / "comm");
    std::string name;
    std::getline(comm, name);
    if (name != Name) continue;
    std::ifstream in(task.path() / "stat");
    std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Fields after the command name (which may hold blanks): state is field 3, nice field 19.
    std::istringstream rest(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 19 && rest >> field; ++i) {}
    return std::stoi(field);
  }
  return -100;
}

// Waits until the component's thread with this name has named itself: a thread at the normal priority
// starts unheld, so Open may return before it has run at all.
void AwaitThread(const std::string& Name) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (NiceOf(Name) == -100 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

// Runs Body in a child process as an ordinary user; Body returns "" or what went wrong.
std::string AsOrdinaryUser(const std::function<std::string()>& Body, bool& Skipped) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return "pipe failed";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeFds[0]);
    // No headroom for raising the nice value: as for a user without privileges.
    const rlimit none{0, 0};
    ::setrlimit(RLIMIT_NICE, &none);
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(77);
    std::string error;
    try {
      error = Body();
    } catch (const std::exception& e) {
      error = std::string("exception: ") + e.what();
    }
    [[maybe_unused]] const ssize_t n = ::write(pipeFds[1], error.data(), error.size());
    ::_exit(error.empty() ? 0 : 1);
  }
  ::close(pipeFds[1]);
  std::string error;
  char buf[512];
  for (ssize_t n; (n = ::read(pipeFds[0], buf, sizeof buf)) > 0;) error.append(buf, static_cast<std::size_t>(n));
  ::close(pipeFds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  Skipped = WIFEXITED(status) && WEXITSTATUS(status) == 77;
  if (!Skipped && error.empty() && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) error = "the child failed";
  return error;
}

std::string Describe() {
  return "event thread " + std::to_string(NiceOf("serial-event")) + ", write thread " +
         std::to_string(NiceOf("serial-write"));
}

// The nice value a thread has Steps above the process's own (a test may itself run under nice).
int NiceAbove(int Steps) {
  errno = 0;
  const int base = ::getpriority(PRIO_PROCESS, 0);
  return std::min(base + Steps, 19);
}

struct TPriorityCase {
  const char* Name;
  bool WriteThread;  // which property the case changes
  TThreadPriority Requested;
  TThreadPriority Expected;  // the property afterwards
  int EventNice;             // the threads' nice values afterwards, above the process's own
  int WriteNice;
};
void PrintTo(const TPriorityCase& C, std::ostream* Out) { *Out << C.Name; }

class SerialPriorityWhileOpen : public ::testing::TestWithParam<TPriorityCase> {};

TEST_P(SerialPriorityWhileOpen, PropertyNamesWhatTheThreadHas) {
  const TPriorityCase& C = GetParam();
  bool skipped = false;
  const std::string error = AsOrdinaryUser(
      [&]() -> std::string {
        TEventLoop loop;
        SetUiDispatcher(&loop);
        std::vector<std::string> shown;
        SetExceptionDisplay([&](const std::string& m) { shown.push_back(m); });
        TPty pty;
        TSerialComm comm;
        comm.SetDeviceName(pty.Path);
        comm.SetEventPriority(tpNormal);
        comm.SetWritePriority(tpLowest);  // a lowering an ordinary user may make: nice +2
        comm.Open();
        AwaitThread("serial-event");
        AwaitThread("serial-write");
        if (NiceOf("serial-event") != NiceAbove(0) || NiceOf("serial-write") != NiceAbove(2))
          return "after Open: " + Describe();
        if (C.WriteThread) comm.SetWritePriority(C.Requested);
        else comm.SetEventPriority(C.Requested);
        const TThreadPriority now = C.WriteThread ? comm.WritePriority() : comm.EventPriority();
        std::string result;
        if (now != C.Expected)
          result += "property " + std::to_string(now) + ", expected " + std::to_string(C.Expected) + "; ";
        if (NiceOf("serial-event") != NiceAbove(C.EventNice) || NiceOf("serial-write") != NiceAbove(C.WriteNice))
          result += Describe() + "; ";
        if (!shown.empty()) result += "a message: " + shown[0];
        comm.Close();
        SetExceptionDisplay(nullptr);
        SetUiDispatcher(nullptr);
        return result;
      },
      skipped);
  if (skipped) GTEST_SKIP() << "cannot become an ordinary user here";
  EXPECT_EQ(error, "");
}

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Changes, SerialPriorityWhileOpen,
    ::testing::Values(TPriorityCase{"LoweringTheWriteThreadApplies", true, tpIdle, tpIdle, 0, 15},
                      TPriorityCase{"RaisingTheWriteThreadBackIsNotPermitted", true, tpNormal, tpLowest, 0, 2},
                      TPriorityCase{"RaisingTheEventThreadIsNotPermitted", false, tpHighest, tpNormal, 0, 2},
                      TPriorityCase{"LoweringTheEventThreadApplies", false, tpLower, tpLower, 1, 2}),
    [](const auto& Info) { return std::string(Info.param.Name); });
// clang-format on

}  // namespace
}  // namespace hexloader::testing_serial
