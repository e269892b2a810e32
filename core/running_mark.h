#pragma once
// The mark a running program of ours leaves for the Windows setup and uninstaller: a named mutex in the
// user's session, held by the window and by the command line for as long as they run. The setup and
// the uninstaller (packaging/windows/hexloader.nsi) look for it by its name before they touch anything,
// so that an update never meets a program file in use. On Linux the package manager needs no such
// mark: holding it does nothing there (running_mark_<platform>.cpp).
namespace hexloader {

// The mutex's name, in the session's own namespace; CMake reads it from here for the setup.
inline constexpr const char* RunningMarkName = "Local\\hexloader-running";

class TRunningMark {
 public:
  // Holds the mark (several programs may hold it at once); a mark that cannot be made is no reason
  // not to run.
  TRunningMark();
  ~TRunningMark();
  TRunningMark(const TRunningMark&) = delete;
  TRunningMark& operator=(const TRunningMark&) = delete;

 private:
  void* Handle_ = nullptr;
};

}  // namespace hexloader
