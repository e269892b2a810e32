#include "production/production_settings.h"

#include <algorithm>

#include "production/production_errors.h"
#include "production/store_connection.h"

namespace hexloader::production {
namespace {

using K = TProductionKey;

bool SameIgnoringAsciiCase(std::string_view A, std::string_view B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char X, char Y) {
           const auto Lower = [](char C) { return C >= 'A' && C <= 'Z' ? static_cast<char>(C - 'A' + 'a') : C; };
           return Lower(X) == Lower(Y);
         });
}

std::string Trimmed(const std::string& Text) {
  const auto First = Text.find_first_not_of(" \t");
  if (First == std::string::npos) return "";
  return Text.substr(First, Text.find_last_not_of(" \t") - First + 1);
}

// A name that goes into records and messages: printable, no line breaks or other control characters.
bool PrintableName(const std::string& Text) {
  return std::none_of(Text.begin(), Text.end(),
                      [](char C) { return static_cast<unsigned char>(C) < 0x20 || C == 0x7F; });
}

constexpr std::size_t kLongestName = 100;  // a sequence's or station's name, in bytes

}  // namespace

const std::vector<TProductionKeyName>& ProductionKeyNames() {
  // clang-format off
  static const std::vector<TProductionKeyName> Names = {
      {K::Station,      "--station",       "Station",      "NAME"},
      {K::Log,          "--log",           "Log",          "FILE"},
      {K::Store,        "--store",         "Store",        "CONNECTION"},
      {K::SerialAt,     "--serial-at",     "SerialAt",     "ADDRESS"},
      {K::SerialSize,   "--serial-size",   "SerialSize",   "N"},
      {K::SerialFormat, "--serial-format", "SerialFormat", "le|be|ascii"},
      {K::SerialStart,  "--serial-start",  "SerialStart",  "S"},
      {K::SerialStep,   "--serial-step",   "SerialStep",   "K"},
      {K::SerialList,   "--serial-list",   "SerialList",   "FILE"},
      {K::SerialName,   "--serial-name",   "SerialName",   "NAME"},
  };
  // clang-format on
  return Names;
}

const TProductionKeyName* FindProductionOption(std::string_view Option) {
  for (const TProductionKeyName& N : ProductionKeyNames())
    if (Option == N.Option) return &N;
  return nullptr;
}

const TProductionKeyName* FindProductionIniKey(std::string_view Key) {
  for (const TProductionKeyName& N : ProductionKeyNames())
    if (SameIgnoringAsciiCase(Key, N.IniKey)) return &N;
  return nullptr;
}

std::string TProductionSettingsReader::NameOf(TProductionKey Key) const {
  for (const TProductionKeyName& N : ProductionKeyNames())
    if (N.Key == Key) return Source_ == TSettingsSource::CommandLine ? N.Option : N.IniKey;
  return "";
}

bool TProductionSettingsReader::Given(TProductionKey Key) const {
  return std::find(Given_.begin(), Given_.end(), Key) != Given_.end();
}

void TProductionSettingsReader::Set(TProductionKey Key, const std::string& RawValue) {
  const std::string Name = NameOf(Key);
  // The settings file's values may stand between blanks; the command line's are taken as typed.
  const std::string Value = Source_ == TSettingsSource::IniSection ? Trimmed(RawValue) : RawValue;
  if (Value.empty()) {
    if (Source_ == TSettingsSource::IniSection) return;
    throw EProductionSettingError::EmptyValue(Name);
  }
  if (Given(Key)) throw EProductionSettingError::GivenTwice(Name);
  switch (Key) {
    case K::Station:
      if (!PrintableName(Value) || Value.size() > kLongestName)
        throw EProductionSettingError::BadValue(Name, Value, "printable text of at most 100 bytes");
      Settings_.Station = Value;
      break;
    case K::Log: Settings_.LogFile = Value; break;
    case K::Store: Settings_.Store = Value; break;
    case K::SerialAt: {
      const auto Address = ParseUnsigned(Value);
      if (!Address || *Address > 0xFFFE)
        throw EProductionSettingError::BadValue(Name, Value,
                                                "an image address, 0 to 0xFFFE, decimal or 0x hexadecimal");
      Serial_.Address = static_cast<std::uint32_t>(*Address);
      break;
    }
    case K::SerialSize: {
      const auto Size = ParseDecimalDigits(Value);
      if (!Size || *Size < 1 || *Size > 8) throw EProductionSettingError::BadValue(Name, Value, "1 to 8 bytes");
      Serial_.Size = static_cast<int>(*Size);
      break;
    }
    case K::SerialFormat:
      if (Value == "le") Serial_.Format = TSerialFormat::LittleEndian;
      else if (Value == "be") Serial_.Format = TSerialFormat::BigEndian;
      else if (Value == "ascii") Serial_.Format = TSerialFormat::Ascii;
      else throw EProductionSettingError::BadValue(Name, Value, "le, be or ascii");
      break;
    case K::SerialStart: {
      const auto Start = ParseUnsigned(Value);
      if (!Start) throw EProductionSettingError::BadValue(Name, Value, "a whole number, decimal or 0x hexadecimal");
      Serial_.Start = *Start;
      break;
    }
    case K::SerialStep: {
      const auto Step = ParseUnsigned(Value);
      if (!Step || *Step == 0)
        throw EProductionSettingError::BadValue(Name, Value, "a whole number of at least 1, decimal or 0x hexadecimal");
      Serial_.Step = *Step;
      break;
    }
    case K::SerialList: Serial_.ListFile = Value; break;
    case K::SerialName:
      if (!PrintableName(Value) || Value.size() > kLongestName)
        throw EProductionSettingError::BadValue(Name, Value, "printable text of at most 100 bytes");
      Serial_.Name = Value;
      break;
  }
  // Counted once it was taken: a refused value leaves the setting unset.
  Given_.push_back(Key);
}

TProductionSettings TProductionSettingsReader::Finish() const {
  TProductionSettings Result = Settings_;
  if (!Result.Store.empty()) CheckStoreConnection(Result.Store, NameOf(K::Store));

  const bool SerialOn = Given(K::SerialAt);
  for (const K Key : {K::SerialSize, K::SerialFormat, K::SerialStart, K::SerialStep, K::SerialList, K::SerialName})
    if (!SerialOn && Given(Key)) throw EProductionSettingError::Needs(NameOf(Key), NameOf(K::SerialAt) + " ADDRESS");
  if (!SerialOn) return Result;

  if (!Given(K::SerialSize)) throw EProductionSettingError::Needs(NameOf(K::SerialAt), NameOf(K::SerialSize) + " N");
  if (Given(K::SerialStart) && Given(K::SerialList))
    throw EProductionSettingError::Together(NameOf(K::SerialStart), NameOf(K::SerialList));
  if (Given(K::SerialStep) && !Given(K::SerialStart))
    throw EProductionSettingError::Needs(NameOf(K::SerialStep), NameOf(K::SerialStart) + " S");
  if (!Given(K::SerialStart) && !Given(K::SerialList))
    throw EProductionSettingError::Needs(NameOf(K::SerialAt),
                                         NameOf(K::SerialStart) + " S or " + NameOf(K::SerialList) + " FILE");
  if (Result.LogFile.empty() && Result.Store.empty())
    throw EProductionSettingError::NothingRemembers(NameOf(K::Log) + " FILE", NameOf(K::Store) + " CONNECTION");
  // Images hold 65,535 bytes at most: the field's last byte lies at 0xFFFE or below.
  if (Serial_.Address + static_cast<std::uint32_t>(Serial_.Size) > 0xFFFF)
    throw EProductionSettingError::FieldBeyondLimit(Serial_.Address, Serial_.Size);
  if (Given(K::SerialStart) && Serial_.Start > LargestSerial(Serial_.Format, Serial_.Size))
    throw EProductionSettingError::BadValue(NameOf(K::SerialStart), std::to_string(Serial_.Start),
                                            "does not fit " + std::to_string(Serial_.Size) +
                                                (Serial_.Size == 1 ? " byte" : " bytes") + " in format " +
                                                SerialFormatName(Serial_.Format) + ": the largest is " +
                                                std::to_string(LargestSerial(Serial_.Format, Serial_.Size)));
  Result.Serial = Serial_;
  return Result;
}

}  // namespace hexloader::production
