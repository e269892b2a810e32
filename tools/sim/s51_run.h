#pragma once
// One run of s51 playing the device: a working folder with the two FIFOs that carry the device's UART,
// s51 started there on the device program with its console commands, and what it leaves behind when
// it ends. The run owns the s51 process: it never outlives the run, nor hexloader-sim.
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace hexloader::sim::s51 {

// The s51 program found on PATH; empty when it is not installed.
std::string FindProgram();

class TRun {
 public:
  // Starts s51 (Program) on Firmware, an absolute path. Raises std::runtime_error with the message.
  TRun(const std::string& Program, const std::string& Firmware);
  ~TRun();  // kills s51 if it still runs, then removes the working folder
  TRun(const TRun&) = delete;
  TRun& operator=(const TRun&) = delete;

  // The device's receive line (write, non-blocking) and its transmit line (read, non-blocking).
  int ToDevice() const { return ToDevice_; }
  int FromDevice() const { return FromDevice_; }

  // Collects s51's exit if it has ended (never waits); true once it has.
  bool Ended();
  // Switches the device off: s51 is killed and collected.
  void Kill();

  // After the end: s51's console output, and the device's external data memory as s51 read it back.
  std::string Log() const;
  // Raises std::runtime_error when the memory cannot be read back whole.
  std::vector<std::uint8_t> Memory() const;

 private:
  std::string Folder_;
  int ToDevice_ = -1;
  int FromDevice_ = -1;
  pid_t Pid_ = -1;
};

}  // namespace hexloader::sim::s51
