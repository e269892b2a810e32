#pragma once
// The store's backing objects: one interface for the four operations the store needs, and the INI
// file kind, which holds only the file's full name and passes every call to the profile functions.
#include <string>
#include <vector>

namespace hexloader {

class TCustomIniFile {
 public:
  virtual ~TCustomIniFile() = default;
  virtual std::string ReadString(const std::string& Section, const std::string& Key, const std::string& Default) = 0;
  // Raises EIniFileException (or ERegistryException) when the value cannot be stored.
  virtual void WriteString(const std::string& Section, const std::string& Key, const std::string& Value) = 0;
  virtual std::vector<std::string> ReadSectionKeys(const std::string& Section) = 0;
  virtual void UpdateFile() = 0;
};

class TIniFile final : public TCustomIniFile {
 public:
  // Reads return at most this many characters of a value.
  static constexpr std::size_t MaxValueChars = 2047;

  // CreateFolder: the file's folder is made (private to the user, with any missing parents) on the first
  // write. An empty FileName names no file: reads answer as for a missing file and writes fail.
  explicit TIniFile(std::string FileName, bool CreateFolder = false)
      : FileName_(std::move(FileName)), CreateFolder_(CreateFolder) {}
  ~TIniFile() override;  // flushes

  const std::string& FileName() const { return FileName_; }

  std::string ReadString(const std::string& Section, const std::string& Key, const std::string& Default) override;
  void WriteString(const std::string& Section, const std::string& Key, const std::string& Value) override;
  std::vector<std::string> ReadSectionKeys(const std::string& Section) override;
  void UpdateFile() override;

 private:
  std::string FileName_;
  bool CreateFolder_ = false;
};

}  // namespace hexloader
