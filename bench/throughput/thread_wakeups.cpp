// thread_wakeups: runs a program and counts how often each of its threads was woken, from the kernel's
// own per-thread count of voluntary context switches (every sleep that ended: a wait on a descriptor,
// a condition variable, a timer), so the wake-ups that never reach user space count as well. The
// counts are sampled every few milliseconds while the program runs; a thread's last samples before it
// ends may be missed. Prints one line per thread name: "NAME THREADS WAKEUPS" (the first thread is
// "main"), then "cpu SECONDS" (the program's user and system time) and "wall SECONDS". Exit status: the
// program's.
// Usage: thread_wakeups PROGRAM [ARGS...]
#include <dirent.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace {

struct TThread {
  std::string Name;
  long Wakeups = 0;
};

void Sample(pid_t Pid, std::map<long, TThread>& Threads) {
  const std::string Tasks = "/proc/" + std::to_string(Pid) + "/task";
  DIR* Dir = ::opendir(Tasks.c_str());
  if (!Dir) return;
  while (const dirent* E = ::readdir(Dir)) {
    if (E->d_name[0] == '.') continue;
    const long Tid = std::strtol(E->d_name, nullptr, 10);
    std::ifstream Status(Tasks + "/" + E->d_name + "/status");
    std::string Line;
    TThread& T = Threads[Tid];
    while (std::getline(Status, Line)) {
      if (Line.rfind("Name:", 0) == 0) T.Name = Line.substr(Line.find_first_not_of(" \t", 5));
      else if (Line.rfind("voluntary_ctxt_switches:", 0) == 0) T.Wakeups = std::strtol(Line.c_str() + 24, nullptr, 10);
    }
  }
  ::closedir(Dir);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "Usage: thread_wakeups PROGRAM [ARGS...]\n");
    return 2;
  }
  const auto Started = std::chrono::steady_clock::now();
  const pid_t Pid = ::fork();
  if (Pid == 0) {
    ::execvp(argv[1], argv + 1);
    std::perror(argv[1]);
    _exit(127);
  }
  std::map<long, TThread> Threads;
  int Status = 0;
  for (;;) {
    Sample(Pid, Threads);
    const pid_t Done = ::waitpid(Pid, &Status, WNOHANG);
    if (Done == Pid) break;
    ::usleep(5000);
  }
  std::map<std::string, std::pair<int, long>> ByName;
  for (const auto& [Tid, T] : Threads) {
    auto& Entry = ByName[Tid == Pid ? "main" : T.Name];
    ++Entry.first;
    Entry.second += T.Wakeups;
  }
  for (const auto& [Name, Entry] : ByName) std::printf("%s %d %ld\n", Name.c_str(), Entry.first, Entry.second);
  rusage Usage{};
  ::getrusage(RUSAGE_CHILDREN, &Usage);
  std::printf("cpu %.3f\n", Usage.ru_utime.tv_sec + Usage.ru_utime.tv_usec / 1e6 + Usage.ru_stime.tv_sec +
                                Usage.ru_stime.tv_usec / 1e6);
  std::printf("wall %.3f\n", std::chrono::duration<double>(std::chrono::steady_clock::now() - Started).count());
  return WIFEXITED(Status) ? WEXITSTATUS(Status) : 128 + WTERMSIG(Status);
}
