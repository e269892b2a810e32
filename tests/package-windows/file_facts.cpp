// A Windows helper for the tests: what Windows itself reads from a program file for Explorer and the
// file's properties, one "key=value" line each, in UTF-8: the version resource's product name,
// description, company, copyright and original name, and how many icons the file holds.
// Usage: file_facts.exe FILE; status 0, or 1 when the file has no version resource.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

void PrintLine(const std::wstring& Key, const std::wstring& Value) {
  const std::wstring line = Key + L"=" + Value + L"\n";
  const int n =
      ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), utf8.data(), n, nullptr, nullptr);
  std::fwrite(utf8.data(), 1, utf8.size(), stdout);
}

}  // namespace

int wmain(int Argc, wchar_t** Argv) {
  if (Argc != 2) return 2;
  const wchar_t* file = Argv[1];
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(file, &ignored);
  std::vector<unsigned char> info(size);
  if (size == 0 || !::GetFileVersionInfoW(file, 0, size, info.data())) return 1;
  // The first language the resource names.
  struct TTranslation {
    WORD Language, CodePage;
  }* translation = nullptr;
  UINT length = 0;
  if (!::VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
      length < sizeof *translation)
    return 1;
  wchar_t block[64];
  std::swprintf(block, 64, L"\\StringFileInfo\\%04x%04x\\", translation->Language, translation->CodePage);
  for (const wchar_t* key :
       {L"ProductName", L"FileDescription", L"CompanyName", L"LegalCopyright", L"OriginalFilename"}) {
    wchar_t* value = nullptr;
    if (::VerQueryValueW(info.data(), (std::wstring(block) + key).c_str(), reinterpret_cast<void**>(&value), &length))
      PrintLine(key, std::wstring(value, length > 0 ? length - 1 : 0));
  }
  PrintLine(L"Icons", std::to_wstring(::ExtractIconExW(file, -1, nullptr, nullptr, 0)));
  return 0;
}
