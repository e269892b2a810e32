#pragma once
// One ATmega328P at 16 MHz simulated by simavr, instruction by instruction, running a bootloader from
// its ELF file: the board that hexloader-sim --avr plays. Its USART0 is reached through Send and
// TakeOutput; the changes of the port B pins are recorded; the moment the bootloader jumps below its
// own section (the application starts) is noticed and the flash kept as it was then. The board runs
// only inside Run, on the caller's thread: it owns no thread of its own.
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

struct avr_t;
struct avr_irq_t;

namespace hexloader::sim::avr {

constexpr std::size_t FlashSize = 32768;

// Whether simavr's own notes reach standard error (--log full); its errors always do.
void SetVerbose(bool On);

struct TPinChange {
  double Seconds;  // device time since the board was switched on
  int Pin;         // 0..7 of port B
  bool High;
};

class TBoard {
 public:
  // Loads Elf (its lowest code address is where the reset vector points, as the BOOTRST fuse makes it)
  // into a fresh board with erased flash. Raises std::runtime_error with the message.
  explicit TBoard(const std::string& Elf);
  ~TBoard();
  TBoard(const TBoard&) = delete;
  TBoard& operator=(const TBoard&) = delete;

  // Puts Image into the flash from 0x0000, as a board that already holds a program; before the first
  // Run. Raises std::runtime_error with the message when it would reach the bootloader.
  void LoadApplication(const std::vector<std::uint8_t>& Image, const std::string& Path);

  // Runs the board for about Cycles clock cycles, or until it stops or starts the application.
  void Run(std::uint64_t Cycles);
  // Whether the simulated CPU still runs; false once it crashed or stopped.
  bool Running() const;
  // What ended the run when Running() is false ("" while it runs).
  std::string StopReason() const;

  // Bytes for the USART's receiver; they go in as its input buffer has room, at the line's own pace.
  void Send(const std::uint8_t* Data, std::size_t Size);
  std::size_t SendPending() const { return ToDevice_.size(); }
  // What the USART has transmitted since the last call.
  std::vector<std::uint8_t> TakeOutput();
  std::vector<TPinChange> TakePinChanges();

  std::uint32_t BootStart() const { return BootStart_; }
  bool ApplicationStarted() const { return ApplicationStarted_; }
  double Seconds() const;  // device time since switching on
  // The whole flash: as it was when the application started, or as it is now if it has not.
  std::vector<std::uint8_t> Flash() const;

 private:
  static void OnOutput(avr_irq_t* Irq, std::uint32_t Value, void* Self);
  static void OnXon(avr_irq_t* Irq, std::uint32_t Value, void* Self);
  static void OnXoff(avr_irq_t* Irq, std::uint32_t Value, void* Self);
  static void OnPin(avr_irq_t* Irq, std::uint32_t Value, void* Self);
  void Feed();

  avr_t* Avr_ = nullptr;
  avr_irq_t* Input_ = nullptr;
  avr_irq_t* Pins_[8] = {};
  std::uint32_t BootStart_ = 0;
  bool InputFull_ = false;
  bool ApplicationStarted_ = false;
  std::vector<std::uint8_t> FlashAtStart_;
  std::deque<std::uint8_t> ToDevice_;
  std::vector<std::uint8_t> FromDevice_;
  std::vector<TPinChange> PinChanges_;
  int PinLevels_[8];
};

}  // namespace hexloader::sim::avr
