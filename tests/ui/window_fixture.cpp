#include "tests/ui/window_fixture.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/exception_display.h"
#include "ui/qt/qt_dialogs.h"

namespace hexloader::test {

TWindowFixture::TWindowFixture() : OldCurrent_(QDir::currentPath()) {
  QDir::setCurrent(Dir_.path());
  InstallExceptionDisplay(Dialogs);
}

TWindowFixture::~TWindowFixture() {
  Form.reset();
  SetExceptionDisplay({});
  QDir::setCurrent(OldCurrent_);
}

std::string TWindowFixture::Path(const std::string& Name) const {
  return Dir_.filePath(QString::fromStdString(Name)).toStdString();
}

void TWindowFixture::WriteIni(const std::string& Text) const { std::ofstream(IniPath(), std::ios::binary) << Text; }

std::string TWindowFixture::ReadIni() const {
  std::ifstream in(IniPath(), std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string TWindowFixture::WriteHex(const std::string& Name, int Size) const {
  const std::string path = Path(Name);
  std::ofstream out(path, std::ios::binary);
  for (int addr = 0; addr < Size; addr += 16) {
    const int n = std::min(16, Size - addr);
    unsigned sum = n + (addr >> 8) + (addr & 0xFF);
    char line[80];
    std::snprintf(line, sizeof line, ":%02X%04X00", n, addr);
    out << line;
    for (int i = 0; i < n; ++i) {
      const unsigned b = (addr + i) * 7 % 251;
      sum += b;
      std::snprintf(line, sizeof line, "%02X", b);
      out << line;
    }
    std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
    out << line;
  }
  out << ":00000001FF\n";
  return path;
}

TForm1& TWindowFixture::MakeForm(std::vector<std::string> Ports) {
  TForm1Options options;
  options.IniPath = IniPath();
  options.EnumPorts = [Ports] { return Ports; };
  Form = std::make_unique<TForm1>(Dialogs, options);
  return *Form;
}

}  // namespace hexloader::test
