#include "serial/network_line_error.h"

#include "serial/serial_error.h"

namespace hexloader {
namespace {

std::string Where(const TNetworkLineFailure& F) {
  const std::string host = F.Host.find(':') != std::string::npos ? "[" + F.Host + "]" : F.Host;
  return host + " port " + std::to_string(F.Port);
}

std::string Within(int Seconds) { return " within " + std::to_string(Seconds) + " s"; }

std::string SystemText(int Code) { return TrimmedSysErrorMessage(Code); }

}  // namespace

std::string NetworkLineFailureText(const TNetworkLineFailure& F) {
  using K = TNetworkLineFailure;
  const std::string server = "the server at " + Where(F);
  switch (F.Kind) {
    case K::None: return {};
    case K::UnknownHost: return "host " + F.Host + " not found" + (F.Detail.empty() ? "" : ": " + F.Detail);
    case K::ResolveTimedOut:
      return "no answer about host " + F.Host + Within(F.Seconds) + " (is a name server reachable?)";
    case K::NothingListening: return "nothing listens on " + Where(F) + ": " + SystemText(F.Code);
    case K::NoAnswer: return "no answer from " + Where(F) + Within(F.Seconds);
    case K::Unreachable: return Where(F) + " cannot be reached: " + SystemText(F.Code);
    case K::NoNegotiation:
      return server + " did not negotiate RFC 2217" + Within(F.Seconds) +
             (F.DataBytes == 0 ? std::string()
                               : "; it sent " + std::to_string(F.DataBytes) +
                                     " bytes of plain data, as a raw TCP port does: set the port to RFC 2217");
    case K::OptionRefused: return server + " refused " + F.Detail;
    case K::ClosedByServer:
      return server + " closed the connection" + (F.Detail.empty() ? "" : ": \"" + F.Detail + "\"");
    case K::SettingRefused: return server + " set " + F.Detail;
    case K::SettingUnconfirmed: return server + " did not confirm " + F.Detail + Within(F.Seconds);
    case K::Cancelled: return "the connection to " + Where(F) + " was cancelled";
    case K::Failed:
      return "the connection to " + Where(F) + " failed: " + (F.Code != 0 ? SystemText(F.Code) : F.Detail);
  }
  return {};
}

std::string NetworkOpenFailureMessage(const std::string& Name, const TNetworkLineFailure& Failure) {
  std::string message = serial_msg::CantOpen;
  message.replace(message.find("%s"), 2, Name);
  return message + " (" + NetworkLineFailureText(Failure) + ")";
}

std::string NetworkSettingFailureMessage(const TNetworkLineFailure& Failure) {
  return FormatCommError(serial_msg::WriteDcb, Failure.Code) + ": " + NetworkLineFailureText(Failure);
}

}  // namespace hexloader
