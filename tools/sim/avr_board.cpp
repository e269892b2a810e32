#include "tools/sim/avr_board.h"

#include <simavr/avr_ioport.h>
#include <simavr/avr_uart.h>
#include <simavr/sim_avr.h>
#include <simavr/sim_elf.h>
#include <simavr/sim_irq.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>

#include "tools/sim/avr_messages.h"

namespace hexloader::sim::avr {
namespace {

constexpr std::uint32_t ClockHz = 16'000'000;

// simavr reports through one logger for all boards; what it says goes to standard error only under
// --log full (SetVerbose). Otherwise our own messages say what went wrong.
bool Verbose = false;

void Logger(avr_t*, const int Level, const char* Format, va_list Args) {
  if (!Verbose || Level > LOG_TRACE) return;
  std::fputs("hexloader-sim: simavr: ", stderr);
  std::vfprintf(stderr, Format, Args);
}

// Standard error sent to /dev/null while it lives (when On).
class TQuietStderr {
 public:
  explicit TQuietStderr(bool On) {
    if (!On) return;
    std::fflush(stderr);
    Saved_ = ::dup(STDERR_FILENO);
    const int Null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    if (Saved_ >= 0 && Null >= 0) ::dup2(Null, STDERR_FILENO);
    if (Null >= 0) ::close(Null);
  }
  ~TQuietStderr() {
    if (Saved_ < 0) return;
    std::fflush(stderr);
    ::dup2(Saved_, STDERR_FILENO);
    ::close(Saved_);
  }
  TQuietStderr(const TQuietStderr&) = delete;
  TQuietStderr& operator=(const TQuietStderr&) = delete;

 private:
  int Saved_ = -1;
};

}  // namespace

void SetVerbose(bool On) { Verbose = On; }

TBoard::TBoard(const std::string& Elf) {
  avr_global_logger_set(Logger);
  elf_firmware_t Firmware;
  std::memset(&Firmware, 0, sizeof Firmware);
  // simavr takes a mutable path.
  std::vector<char> Path(Elf.begin(), Elf.end());
  Path.push_back('\0');
  int Read;
  {
    // The ELF reader also prints its own errors (perror) straight to standard error.
    TQuietStderr Quiet(!Verbose);
    Read = elf_read_firmware(Path.data(), &Firmware);
  }
  if (Read != 0 || !Firmware.flash || Firmware.flashsize == 0) throw std::runtime_error(FirmwareNotElf(Elf));
  std::unique_ptr<std::uint8_t, decltype(&std::free)> Code(Firmware.flash, &std::free);
  if (Firmware.flashbase + Firmware.flashsize > FlashSize) throw std::runtime_error(FirmwareDoesNotFit(Elf));
  // The reset vector goes to the boot section only at the starts the BOOTSZ fuses allow.
  if (Firmware.flashbase != 0x7000 && Firmware.flashbase != 0x7800 && Firmware.flashbase != 0x7C00 &&
      Firmware.flashbase != 0x7E00)
    throw std::runtime_error(NotInBootSection(Elf, Firmware.flashbase));

  Avr_ = avr_make_mcu_by_name("atmega328p");
  if (!Avr_) throw std::runtime_error(NoAtmega328p());
  avr_init(Avr_);
  Avr_->frequency = ClockHz;
  std::memset(Avr_->flash, 0xFF, FlashSize);
  std::memcpy(Avr_->flash + Firmware.flashbase, Firmware.flash, Firmware.flashsize);
  // The code (with the vectors) starts at the lowest address; the reset vector points there.
  BootStart_ = Firmware.flashbase;
  Avr_->reset_pc = BootStart_;
  Avr_->pc = BootStart_;
  Avr_->codeend = FlashSize - 1;

  // Flat out: the USART's habit of sleeping while the program polls an empty receiver would slow
  // the device to a crawl between the loader's frames.
  std::uint32_t Flags = 0;
  avr_ioctl(Avr_, AVR_IOCTL_UART_GET_FLAGS('0'), &Flags);
  Flags &= ~static_cast<std::uint32_t>(AVR_UART_FLAG_POLL_SLEEP | AVR_UART_FLAG_STDIO);
  avr_ioctl(Avr_, AVR_IOCTL_UART_SET_FLAGS('0'), &Flags);

  Input_ = avr_io_getirq(Avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
  avr_irq_register_notify(avr_io_getirq(Avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUTPUT), OnOutput, this);
  avr_irq_register_notify(avr_io_getirq(Avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XON), OnXon, this);
  avr_irq_register_notify(avr_io_getirq(Avr_, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_OUT_XOFF), OnXoff, this);
  for (int Pin = 0; Pin < 8; ++Pin) {
    PinLevels_[Pin] = -1;  // unknown until the program drives it
    Pins_[Pin] = avr_io_getirq(Avr_, AVR_IOCTL_IOPORT_GETIRQ('B'), Pin);
    avr_irq_register_notify(Pins_[Pin], OnPin, this);
  }
}

TBoard::~TBoard() {
  if (Avr_) {
    avr_terminate(Avr_);
    std::free(Avr_);
  }
}

void TBoard::OnOutput(avr_irq_t*, std::uint32_t Value, void* Self) {
  static_cast<TBoard*>(Self)->FromDevice_.push_back(static_cast<std::uint8_t>(Value));
}

void TBoard::OnXon(avr_irq_t*, std::uint32_t, void* Self) {
  TBoard* B = static_cast<TBoard*>(Self);
  B->InputFull_ = false;
  B->Feed();
}

void TBoard::OnXoff(avr_irq_t*, std::uint32_t, void* Self) { static_cast<TBoard*>(Self)->InputFull_ = true; }

void TBoard::OnPin(avr_irq_t* Irq, std::uint32_t Value, void* Self) {
  TBoard* B = static_cast<TBoard*>(Self);
  for (int Pin = 0; Pin < 8; ++Pin) {
    if (B->Pins_[Pin] != Irq) continue;
    const int Level = Value ? 1 : 0;
    if (B->PinLevels_[Pin] == Level) return;
    // The first level is a change only when the program drives the pin away from its reset state (low).
    if (B->PinLevels_[Pin] >= 0 || Level == 1) B->PinChanges_.push_back({B->Seconds(), Pin, Level == 1});
    B->PinLevels_[Pin] = Level;
    return;
  }
}

void TBoard::Feed() {
  // Raising the input can call OnXoff at once; a byte is handed over only while there is room.
  while (!InputFull_ && !ToDevice_.empty()) {
    const std::uint8_t Byte = ToDevice_.front();
    ToDevice_.pop_front();
    avr_raise_irq(Input_, Byte);
  }
}

void TBoard::Send(const std::uint8_t* Data, std::size_t Size) {
  ToDevice_.insert(ToDevice_.end(), Data, Data + Size);
  Feed();
}

void TBoard::LoadApplication(const std::vector<std::uint8_t>& Image, const std::string& Path) {
  if (Image.size() > BootStart_) throw std::runtime_error(ApplicationTooLarge(Path, BootStart_));
  std::copy(Image.begin(), Image.end(), Avr_->flash);
}

void TBoard::Run(std::uint64_t Cycles) {
  const avr_cycle_count_t Until = Avr_->cycle + Cycles;
  while (Running() && Avr_->cycle < Until) {
    avr_run(Avr_);
    if (!ApplicationStarted_ && Avr_->pc < BootStart_) {
      ApplicationStarted_ = true;
      FlashAtStart_.assign(Avr_->flash, Avr_->flash + FlashSize);
      return;
    }
  }
}

bool TBoard::Running() const { return Avr_->state != cpu_Done && Avr_->state != cpu_Crashed; }

std::string TBoard::StopReason() const {
  if (Running()) return "";
  return CpuStopped(Avr_->state == cpu_Crashed, Avr_->pc);
}

std::vector<std::uint8_t> TBoard::TakeOutput() {
  std::vector<std::uint8_t> Out;
  Out.swap(FromDevice_);
  return Out;
}

std::vector<TPinChange> TBoard::TakePinChanges() {
  std::vector<TPinChange> Out;
  Out.swap(PinChanges_);
  return Out;
}

double TBoard::Seconds() const { return static_cast<double>(Avr_->cycle) / ClockHz; }

std::vector<std::uint8_t> TBoard::Flash() const {
  if (ApplicationStarted_) return FlashAtStart_;
  return std::vector<std::uint8_t>(Avr_->flash, Avr_->flash + FlashSize);
}

}  // namespace hexloader::sim::avr
