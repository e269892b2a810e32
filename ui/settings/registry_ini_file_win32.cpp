// Registry mode on Windows: the registry's own functions in their UTF-16 form.
#include <windows.h>

#include <vector>

#include "core/wide_text_win32.h"
#include "ui/settings/registry_ini_file.h"
#include "ui/settings/settings_errors.h"

namespace hexloader {
namespace {

HKEY RootKey(TRegKey Key) {
  switch (Key) {
    case TRegKey::hkeyClassesRoot: return HKEY_CLASSES_ROOT;
    case TRegKey::hkeyCurrentUser: return HKEY_CURRENT_USER;
    case TRegKey::hkeyLocalMachine: return HKEY_LOCAL_MACHINE;
    case TRegKey::hkeyUsers: return HKEY_USERS;
    case TRegKey::hkeyPerformanceData: return HKEY_PERFORMANCE_DATA;
    case TRegKey::hkeyCurrentConfig: return HKEY_CURRENT_CONFIG;
    case TRegKey::hkeyDynData: return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000006));
  }
  return HKEY_CURRENT_USER;
}

// Closes a key when the owner goes out of scope.
class TKey {
 public:
  TKey() = default;
  ~TKey() {
    if (Key_) ::RegCloseKey(Key_);
  }
  TKey(const TKey&) = delete;
  TKey& operator=(const TKey&) = delete;
  HKEY* Out() { return &Key_; }
  HKEY Get() const { return Key_; }

 private:
  HKEY Key_ = nullptr;
};

class TRegistryIniFile final : public TCustomIniFile {
 public:
  TRegistryIniFile(HKEY Root, const std::string& KeyPath, REGSAM Access) : Access_(Access) {
    // A leading "\" means a path straight under the root; the registry functions take it without.
    std::string path = KeyPath;
    while (!path.empty() && path.front() == '\\') path.erase(0, 1);
    ::RegCreateKeyExW(Root, WideFromUtf8(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, Access, nullptr,
                      Key_.Out(), nullptr);
  }

  std::string ReadString(const std::string& Section, const std::string& Key, const std::string& Default) override {
    TKey section;
    if (!Key_.Get() ||
        ::RegOpenKeyExW(Key_.Get(), WideFromUtf8(Section).c_str(), 0, Access_, section.Out()) != ERROR_SUCCESS)
      return Default;
    const std::wstring name = WideFromUtf8(Key);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExW(section.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
      return Default;
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw ERegistryException(RegistryInvalidDataTypeMessage(Key));
    std::vector<wchar_t> data(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = static_cast<DWORD>(data.size() * sizeof(wchar_t));
    if (::RegQueryValueExW(section.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &got) !=
        ERROR_SUCCESS)
      throw ERegistryException(RegistryGetDataMessage(Key));
    std::wstring value(data.data(), got / sizeof(wchar_t));
    // The stored terminating zero (or one the writer left out) is no part of the value.
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return Utf8FromWide(value);
  }

  void WriteString(const std::string& Section, const std::string& Key, const std::string& Value) override {
    TKey created;
    if (!Key_.Get() || ::RegCreateKeyExW(Key_.Get(), WideFromUtf8(Section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         Access_, nullptr, created.Out(), nullptr) != ERROR_SUCCESS)
      throw ERegistryException(RegistryCreateKeyMessage(Section));
    TKey section;
    if (::RegOpenKeyExW(Key_.Get(), WideFromUtf8(Section).c_str(), 0, Access_, section.Out()) != ERROR_SUCCESS) return;
    const std::wstring value = WideFromUtf8(Value);
    const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
    if (::RegSetValueExW(section.Get(), WideFromUtf8(Key).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(value.c_str()), bytes) != ERROR_SUCCESS)
      throw ERegistryException(RegistrySetDataMessage(Key));
  }

  std::vector<std::string> ReadSectionKeys(const std::string& Section) override {
    std::vector<std::string> names;
    TKey section;
    if (!Key_.Get() ||
        ::RegOpenKeyExW(Key_.Get(), WideFromUtf8(Section).c_str(), 0, Access_, section.Out()) != ERROR_SUCCESS)
      return names;
    // Value names are at most 16,383 characters.
    std::vector<wchar_t> name(16384);
    for (DWORD i = 0;; ++i) {
      DWORD length = static_cast<DWORD>(name.size());
      if (::RegEnumValueW(section.Get(), i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        break;
      names.push_back(Utf8FromWide(std::wstring_view(name.data(), length)));
    }
    return names;
  }

  void UpdateFile() override {}

 private:
  REGSAM Access_;
  TKey Key_;
};

}  // namespace

std::unique_ptr<TCustomIniFile> OpenRegistryIniFile(TRegKey Root, const std::string& KeyPath,
                                                    const TRegAccess& Access) {
  return std::make_unique<TRegistryIniFile>(RootKey(Root), KeyPath, RegistryAccessMask(Access));
}

}  // namespace hexloader
