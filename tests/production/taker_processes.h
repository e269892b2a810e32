#pragma once
// Stations as real processes (serial_taker) for the tests of the stores: started together, their
// numbers read from what each printed.
#include <signal.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/upload/session_fixture.h"
#include "tests/upload/sim_process.h"

namespace hexloader::test {

struct TTaker {
  std::unique_ptr<TChildProcess> Process;
  std::string OutFile, ErrFile;

  // The values after "taken " (or another word) in what the process printed so far.
  std::vector<std::string> Printed(const std::string& Word = "taken") const {
    std::vector<std::string> Values;
    std::ifstream In(OutFile);
    std::string Line;
    while (std::getline(In, Line))
      if (Line.rfind(Word + " ", 0) == 0) Values.push_back(Line.substr(Word.size() + 1));
    return Values;
  }
  std::string Output() const {
    std::ifstream In(OutFile);
    return std::string(std::istreambuf_iterator<char>(In), {});
  }
  std::string Errors() const {
    std::ifstream In(ErrFile);
    return std::string(std::istreambuf_iterator<char>(In), {});
  }
  // Waits until the process has printed Count values.
  bool AwaitPrinted(std::size_t Count) const {
    for (int i = 0; i < 600; ++i) {
      if (Printed().size() >= Count) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
};

inline TTaker StartTaker(const TTempDir& Dir, const std::string& Name, const std::vector<std::string>& Args) {
  TTaker T;
  T.OutFile = Dir.File(Name + ".out");
  T.ErrFile = Dir.File(Name + ".err");
  std::vector<std::string> All = {HEXLOADER_SERIAL_TAKER};
  All.insert(All.end(), Args.begin(), Args.end());
  T.Process = std::make_unique<TChildProcess>(All, Dir.Path(), T.OutFile, T.ErrFile);
  return T;
}

}  // namespace hexloader::test
