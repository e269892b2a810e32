#pragma once
// Which failures of a COM port's calls mean that its device is gone. Only what the port's own reads,
// writes, waits and error queries return counts as evidence: a refused line setting is the setter's
// error (the port stays open), and a modem-line probe that the driver does not support (virtual and
// Bluetooth ports) says nothing about the device.
namespace hexloader {

enum class TCommCall { Read, Write, Wait, ClearError, ModemProbe, SetState };

enum class TCommVerdict {
  NotLost,           // an error of that call; the port stays open
  Lost,              // the device behind the port is gone
  ProbeUnsupported,  // the driver does not answer the probe: stop probing this port
};

TCommVerdict JudgeCommFailure(TCommCall Call, int Code);

}  // namespace hexloader
