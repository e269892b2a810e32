#pragma once
// A temporary folder per test (also the current directory, where the image files go), an INI file in
// it, a HEX file, and the main window built on them with the ports the test names.
#include <QDir>
#include <QTemporaryDir>
#include <memory>
#include <string>
#include <vector>

#include "tests/ui/scripted_dialogs.h"
#include "ui/qt/main_window.h"

namespace hexloader::test {

class TWindowFixture {
 public:
  TWindowFixture();
  ~TWindowFixture();

  std::string Path(const std::string& Name) const;
  std::string IniPath() const { return Path("hexloader.ini"); }
  void WriteIni(const std::string& Text) const;
  std::string ReadIni() const;
  // A HEX file of Size bytes of data from address 0.
  std::string WriteHex(const std::string& Name, int Size) const;

  // Builds Form1: its start-up runs now, with the dialogs answered from Dialogs.
  TForm1& MakeForm(std::vector<std::string> Ports);

  TScriptedDialogs Dialogs;
  std::unique_ptr<TForm1> Form;

 private:
  QTemporaryDir Dir_;
  QString OldCurrent_;
};

}  // namespace hexloader::test
