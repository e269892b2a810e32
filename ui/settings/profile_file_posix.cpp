// Profile files on POSIX systems: the whole file is read for each call and rewritten for each write,
// as the settings are tiny and nothing may be cached between the store's calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "ui/settings/profile_file.h"
#include "ui/settings/profile_lines.h"

namespace hexloader {
namespace {

// A missing or unreadable file reads as empty; Readable tells the two apart for the writer.
std::vector<std::string> ReadLines(const std::string& FileName, bool* UsesCrLf = nullptr, bool* Readable = nullptr) {
  std::ifstream in(FileName, std::ios::binary);
  if (Readable) *Readable = static_cast<bool>(in);
  if (!in) return {};
  std::ostringstream text;
  text << in.rdbuf();
  const std::string all = text.str();
  if (UsesCrLf) *UsesCrLf = all.find("\r\n") != std::string::npos;
  return profile::SplitLines(all);
}

bool WriteAll(int Fd, const std::string& Text) {
  std::size_t done = 0;
  while (done < Text.size()) {
    const ssize_t n = ::write(Fd, Text.data() + done, Text.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// Writes beside the file and renames over it, so a crash or a full disk never leaves half a file.
bool ReplaceByRename(const std::string& FileName, const std::string& Text, mode_t Mode) {
  std::string temp = FileName + ".XXXXXX";
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, Mode) == 0 && WriteAll(fd, Text) && ::fsync(fd) == 0;
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  if (ok && ::rename(temp.c_str(), FileName.c_str()) != 0) {
    ok = false;
    saved = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    errno = saved;
  }
  return ok;
}

// For a writable file in a folder that is not writable (no temporary file can be made beside it).
bool ReplaceInPlace(const std::string& FileName, const std::string& Text) {
  const int fd = ::open(FileName.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, Text);
  int saved = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  errno = saved;
  return ok;
}

}  // namespace

std::string ReadProfileString(const std::string& FileName, const std::string& Section, const std::string& Key,
                              const std::string& Default, std::size_t MaxChars) {
  const std::vector<std::string> lines = ReadLines(FileName);
  std::string value = Default;
  if (const auto range = profile::FindSection(lines, Section)) {
    for (std::size_t i = range->First; i < range->Last; ++i) {
      const auto key = profile::KeyLine(lines[i]);
      if (key && profile::SameName(key->Key, Key)) {
        value = std::string(key->Value);
        break;
      }
    }
  }
  return profile::CutUtf8(std::move(value), MaxChars);
}

std::vector<std::string> ReadProfileSectionKeys(const std::string& FileName, const std::string& Section) {
  const std::vector<std::string> lines = ReadLines(FileName);
  std::vector<std::string> keys;
  if (const auto range = profile::FindSection(lines, Section))
    for (std::size_t i = range->First; i < range->Last; ++i)
      if (const auto key = profile::KeyLine(lines[i]); key && !key->Key.empty()) keys.emplace_back(key->Key);
  return keys;
}

bool WriteProfileString(const std::string& LinkOrFile, const std::string& Section, const std::string& Key,
                        const std::string& Value) {
  // The new file replaces the old one by rename: through a symbolic link that would replace the link,
  // so write where it points.
  std::error_code error;
  const std::filesystem::path target = std::filesystem::canonical(LinkOrFile, error);
  const std::string FileName = error ? LinkOrFile : target.string();
  // A line break in the value would end the line early and could forge further keys or sections.
  if (Value.find_first_of("\r\n") != std::string::npos) {
    errno = EINVAL;
    return false;
  }
  struct stat st {};
  const bool exists = ::stat(FileName.c_str(), &st) == 0;
  bool crlf = false;
  bool readable = false;
  std::vector<std::string> current = ReadLines(FileName, &crlf, &readable);
  // Rewriting a file we cannot read would throw away everything else in it.
  if (exists && !readable) {
    errno = EACCES;
    return false;
  }
  // The rename below would replace a file the operator made read-only: its own permission must hold.
  // Asked for the effective identity, which is the one that opens files.
  if (exists && ::faccessat(AT_FDCWD, FileName.c_str(), W_OK, AT_EACCESS) != 0) return false;
  const std::vector<std::string> lines = profile::WithValue(std::move(current), Section, Key, Value);
  const char* eol = crlf ? "\r\n" : "\n";
  std::string text;
  for (const std::string& line : lines) text += line + eol;

  const mode_t mode = exists ? (st.st_mode & 07777) : 0644;
  if (ReplaceByRename(FileName, text, mode)) return true;
  const int renameError = errno;
  if (exists && ReplaceInPlace(FileName, text)) return true;
  if (!exists) errno = renameError;
  return false;
}

bool CreateProfileFolder(const std::string& FileName) {
  const std::size_t slash = FileName.rfind('/');
  if (slash == std::string::npos || slash == 0) return true;
  const std::string folder = FileName.substr(0, slash);
  // Parents first; an existing folder (or a link to one) is fine as it is.
  for (std::size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const std::string part = folder.substr(0, end);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (end == std::string::npos) break;
  }
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) {
    errno = ENOTDIR;
    return false;
  }
  return true;
}

void FlushProfile(const std::string&) {}

}  // namespace hexloader
