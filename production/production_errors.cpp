#include "production/production_errors.h"

#include <cstdio>

namespace hexloader::production {
namespace {

std::string Hex(std::uint32_t Value, int Digits) {
  char Text[16];
  std::snprintf(Text, sizeof Text, "0x%0*X", Digits, static_cast<unsigned>(Value));
  return Text;
}

}  // namespace

EProductionSettingError EProductionSettingError::BadValue(const std::string& Name, const std::string& Value,
                                                          const std::string& What) {
  return EProductionSettingError("bad value '" + Value + "' for " + Name + " (" + What + ")");
}

EProductionSettingError EProductionSettingError::EmptyValue(const std::string& Name) {
  return EProductionSettingError(Name + " needs a value that is not empty");
}

EProductionSettingError EProductionSettingError::GivenTwice(const std::string& Name) {
  return EProductionSettingError(Name + " is given twice");
}

EProductionSettingError EProductionSettingError::Needs(const std::string& Name, const std::string& Other) {
  return EProductionSettingError(Name + " needs " + Other);
}

EProductionSettingError EProductionSettingError::Together(const std::string& Name, const std::string& Other) {
  return EProductionSettingError(Name + " and " + Other + " cannot be used together");
}

EProductionSettingError EProductionSettingError::NothingRemembers(const std::string& Log, const std::string& Store) {
  return EProductionSettingError("serial numbers need " + Log + " or " + Store +
                                 ": nothing else remembers which numbers were given");
}

EProductionSettingError EProductionSettingError::FieldBeyondLimit(std::uint32_t Address, int Size) {
  return EProductionSettingError("the serial number's field at " + Hex(Address, 4) + " (" + std::to_string(Size) +
                                 (Size == 1 ? " byte" : " bytes") +
                                 ") ends beyond the largest image (65,535 bytes, addresses 0x0000 to 0xFFFE)");
}

EProductionSettingError EProductionSettingError::PasswordInConnection(const std::string& Name) {
  return EProductionSettingError(Name +
                                 " must not hold a password (PWD=): give it in the DSN, in the driver's own "
                                 "configuration or in the environment variable HEXLOADER_STORE_PASSWORD");
}

ESerialFieldNotBlank ESerialFieldNotBlank::At(std::uint32_t FieldAddress, int Size, std::uint32_t ByteAddress,
                                              std::uint8_t Byte) {
  return ESerialFieldNotBlank("the image is not blank (0xFF) where the serial number goes: " + Hex(ByteAddress, 4) +
                              " holds " + Hex(Byte, 2) + " (field " + Hex(FieldAddress, 4) + ", " +
                              std::to_string(Size) + (Size == 1 ? " byte" : " bytes") +
                              "); the firmware must reserve the field, or give another --serial-at");
}

ESerialSequenceEnded ESerialSequenceEnded::DoesNotFit(const std::string& Sequence, const std::string& Value, int Size,
                                                      const std::string& Largest) {
  return ESerialSequenceEnded("serial number " + Value + " of sequence \"" + Sequence + "\" does not fit " +
                              std::to_string(Size) + (Size == 1 ? " byte" : " bytes") + " (the largest is " + Largest +
                              "): no more boards are started");
}

ESerialSequenceEnded ESerialSequenceEnded::BeyondLargestNumber(const std::string& Sequence) {
  return ESerialSequenceEnded("sequence \"" + Sequence +
                              "\" has reached the largest number (18446744073709551615): no more boards are started");
}

ESerialSequenceEnded ESerialSequenceEnded::ListUsedUp(const std::string& Sequence, const std::string& ListFile) {
  return ESerialSequenceEnded("every serial number of " + ListFile + " has been taken (sequence \"" + Sequence +
                              "\"): no more boards are started");
}

ESerialListError ESerialListError::AtLine(const std::string& File, std::uint64_t Line, const std::string& What) {
  return ESerialListError(File + ", line " + std::to_string(Line) + ": " + What);
}

ESerialListError ESerialListError::Empty(const std::string& File) {
  return ESerialListError(File + ": no serial numbers in the list");
}

EStoreError EStoreError::Failed(const std::string& What, const std::string& Diagnostics) {
  return EStoreError("record store: cannot " + What + (Diagnostics.empty() ? "" : ": " + Diagnostics));
}

EStoreError EStoreError::NewerSchema(int Found, int Known) {
  return EStoreError("record store: its tables are of schema version " + std::to_string(Found) +
                     ", made by a newer hexloader (this one knows version " + std::to_string(Known) + ")");
}

}  // namespace hexloader::production
