#pragma once
// The production line's refusals and failures: settings that are wrong, a serial field that is not
// blank, a sequence with no number left, a record store that cannot be reached or refuses a write.
// Their messages are built here and only here.
#include <cstdint>
#include <string>

#include "core/exception.h"

namespace hexloader::production {

// A production setting that is wrong, from the command line or from the settings file's section. The
// message names the setting as its source spells it ("--serial-size" or "SerialSize").
class EProductionSettingError : public Exception {
 public:
  using Exception::Exception;
  // "bad value 'V' for NAME (WHAT)"
  static EProductionSettingError BadValue(const std::string& Name, const std::string& Value, const std::string& What);
  // "NAME needs a value that is not empty"
  static EProductionSettingError EmptyValue(const std::string& Name);
  // "NAME is given twice"
  static EProductionSettingError GivenTwice(const std::string& Name);
  // "NAME needs OTHER"
  static EProductionSettingError Needs(const std::string& Name, const std::string& Other);
  // "NAME and OTHER cannot be used together"
  static EProductionSettingError Together(const std::string& Name, const std::string& Other);
  // Serial numbers with neither a record file nor a store.
  static EProductionSettingError NothingRemembers(const std::string& Log, const std::string& Store);
  // A serial field that ends beyond the largest image.
  static EProductionSettingError FieldBeyondLimit(std::uint32_t Address, int Size);
  // A connection string that carries a password itself.
  static EProductionSettingError PasswordInConnection(const std::string& Name);
};

// The converted image holds something other than 0xFF where a serial number would go: the firmware
// has no blank field there, and stamping would overwrite its code or data.
class ESerialFieldNotBlank : public Exception {
 public:
  using Exception::Exception;
  static ESerialFieldNotBlank At(std::uint32_t FieldAddress, int Size, std::uint32_t ByteAddress, std::uint8_t Byte);
};

// A sequence that cannot give the next board a number: the number does not fit the field, or the
// list is used up. Nothing is taken.
class ESerialSequenceEnded : public Exception {
 public:
  using Exception::Exception;
  // "serial number N of sequence S does not fit 2 bytes (the largest is 65535)"
  static ESerialSequenceEnded DoesNotFit(const std::string& Sequence, const std::string& Value, int Size,
                                         const std::string& Largest);
  // Start + steps beyond 2^64 - 1.
  static ESerialSequenceEnded BeyondLargestNumber(const std::string& Sequence);
  // Every value of the list has been taken.
  static ESerialSequenceEnded ListUsedUp(const std::string& Sequence, const std::string& ListFile);
};

// A serial list file that cannot be used: unreadable, a line that is no value, a value twice.
class ESerialListError : public Exception {
 public:
  using Exception::Exception;
  // "FILE, line N: WHAT"
  static ESerialListError AtLine(const std::string& File, std::uint64_t Line, const std::string& What);
  static ESerialListError Empty(const std::string& File);
};

// The record store cannot be reached, or refuses to read or write. The message says what was being
// done and carries the store's own diagnostics (never the password).
class EStoreError : public Exception {
 public:
  using Exception::Exception;
  // "record store: cannot WHAT: DIAGNOSTICS"
  static EStoreError Failed(const std::string& What, const std::string& Diagnostics);
  // The store's tables were made by a newer program.
  static EStoreError NewerSchema(int Found, int Known);
};

}  // namespace hexloader::production
