// The main window's rules with no toolkit: a face that records what it is told, real settings and HEX
// files in a temporary folder. The same program runs on Linux and under wine (Windows paths).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/exception_display.h"
#include "core/utf8_path.h"
#include "ui/app_texts.h"
#include "ui/main_window_rules.h"
#include "ui/settings/reg_ini_file.h"
#include "ui/window_face.h"
#include "upload/upload_session.h"

namespace hexloader {
namespace {

namespace fs = std::filesystem;

// Everything the rules tell the widgets, in order, as short lines.
class TRecordingFace final : public TWindowFace {
 public:
  std::deque<std::optional<std::string>> FileAnswers;  // empty: the operator cancels
  std::vector<std::string> Log;
  std::vector<std::string> Messages;
  std::string Caption = "(stored)";

  void SetCaption(const std::string& Text) override {
    Caption = Text;
    Log.push_back("caption " + Text);
  }
  void SetPortPaneCaption(const std::string& Name) override { Log.push_back("pane " + Name); }
  void SetBeginEnabled(bool Enabled) override { Log.push_back(Enabled ? "begin on" : "begin off"); }
  // The checked item with a "*".
  void SetPortMenuItems(const std::vector<std::string>& Names, const std::string& Current) override {
    std::string line = "menu";
    for (const std::string& name : Names) line += (name == Current ? " *" : " ") + name;
    Log.push_back(line);
  }
  std::optional<std::string> AskOpenFile(const TOpenDialogRequest& Request) override {
    Log.push_back("ask " + Request.Title);
    if (FileAnswers.empty()) return std::nullopt;
    std::optional<std::string> answer = FileAnswers.front();
    FileAnswers.pop_front();
    return answer;
  }
  void PostPendingMessage() override { Log.push_back("post"); }
  void CloseWindow() override { Log.push_back("close"); }

  void SetProgressTotalParts(std::uint32_t) override {}
  void SetProgressPartsComplete(std::uint32_t) override {}
  void SetProgressVisible(bool) override {}
  void SetAnimationVisible(bool) override {}
  void SetAnimationActive(bool Active) override { Log.push_back(Active ? "animate" : "still"); }
  void SetUploadCommandsEnabled(bool) override {}
  void ShowPowerOnPrompt() override { Log.push_back("prompt"); }
  void HidePowerOnPrompt() override { Log.push_back("no prompt"); }
  void ShowMessage(const std::string& Text) override { Messages.push_back(Text); }
};

std::string Expand(std::string Text, const std::string& Dir) {
  for (std::size_t at; (at = Text.find("$DIR")) != std::string::npos;) Text.replace(at, 4, Dir);
  return Text;
}

struct TSetting {
  std::string Section, Key, Value;
};

class WindowRules : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::atomic<int> count{0};
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    Dir = fs::temp_directory_path() /
          PathFromUtf8("hexloader-rules-" + std::to_string(stamp) + "-" + std::to_string(count++));
    fs::create_directories(Dir);
    SetExceptionDisplay([this](const std::string& Message) { Errors.push_back(Message); });
  }
  void TearDown() override {
    SetExceptionDisplay({});
    std::error_code ignored;
    fs::remove_all(Dir, ignored);
  }

  std::string Path(const std::string& Name) const { return Utf8FromPath(Dir / PathFromUtf8(Name)); }
  std::string WriteFile(const std::string& Name, const std::string& Text) const {
    std::ofstream(Dir / PathFromUtf8(Name), std::ios::binary) << Text;
    return Path(Name);
  }
  std::string ReadIni() const {
    std::ifstream in(Dir / "hexloader.ini", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  void WriteSettings(const std::vector<TSetting>& Settings) const {
    TRegIniFile store;
    store.SetPath(Path("hexloader.ini"));
    for (const TSetting& s : Settings) store.WriteValue(s.Section, s.Key, Expand(s.Value, Path("")));
  }
  std::string ReadSetting(const std::string& Section) const {
    TRegIniFile store;
    store.SetPath(Path("hexloader.ini"));
    return store.ReadValue(Section, "Name", "");
  }
  TForm1Options Options(std::vector<std::string> Ports) const {
    return {[Ports] { return Ports; }, Path("hexloader.ini")};
  }

  fs::path Dir;
  std::vector<std::string> Errors;
  TRecordingFace Face;
};

struct TStartupCase {
  const char* Name;
  // The settings a previous run left, written through the store ("$DIR" stands for the test's folder);
  // none: no settings file.
  std::vector<TSetting> Settings;
  std::vector<std::string> Ports;
  std::optional<std::string> FileAnswer;  // the open dialog's answer, when asked
  // Expected:
  std::string DeviceName;
  std::vector<std::string> Log;  // "$DIR" as above
  const char* Caption;
};

class WindowRulesStartup : public WindowRules, public ::testing::WithParamInterface<TStartupCase> {};

const std::string Ask = std::string("ask ") + texts::OpenDialogTitle;

TEST_P(WindowRulesStartup, RestoresOrAsksInOrder) {
  const TStartupCase& c = GetParam();
  const std::string dir = Path("");
  WriteFile("fw.hex", ":00000001FF\n");
  WriteFile("прошивка.hex", ":00000001FF\n");
  fs::create_directories(Dir / "folder.hex");
  WriteSettings(c.Settings);
  if (c.FileAnswer) Face.FileAnswers.push_back(Expand(*c.FileAnswer, dir));

  TMainWindowRules rules(Face, Options(c.Ports));
  EXPECT_TRUE(Face.Log.empty()) << "the widgets may not exist before FormCreate";
  rules.FormCreate();

  std::vector<std::string> expected;
  for (const std::string& line : c.Log) expected.push_back(Expand(line, dir));
  EXPECT_EQ(Face.Log, expected);
  EXPECT_EQ(rules.SerialComm1().DeviceName(), c.DeviceName);
  EXPECT_EQ(Face.Caption, c.Caption);
  EXPECT_TRUE(Errors.empty());
  EXPECT_TRUE(Face.Messages.empty()) << "the port message waits for the event loop";
}

const std::string Unchosen = UnchosenDeviceName;
const std::string PortMessage = "post";

// One row a case.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Cases, WindowRulesStartup,
    ::testing::Values(
        TStartupCase{"FirstRunAsksForPortThenFile", {}, {"COM6", "COM10", "COM5"}, "$DIRfw.hex", Unchosen,
                     {"menu COM10 COM5 COM6", PortMessage, Ask, "begin on", "caption fw.hex"}, "fw.hex"},
        TStartupCase{"FirstRunCancelledLeavesStartOff", {}, {"COM6"}, std::nullopt, Unchosen,
                     {"menu COM6", PortMessage, Ask, "caption "}, ""},
        TStartupCase{"BothRestored", {{"PortName", "Name", "COM6"}, {"FileName", "Name", "$DIRfw.hex"}},
                     {"COM5", "COM6"},
                     std::nullopt, "COM6", {"menu COM5 COM6", "pane COM6", "begin on", "caption fw.hex"}, "fw.hex"},
        TStartupCase{"CyrillicFileRestored",
                     {{"PortName", "Name", "COM6"}, {"FileName", "Name", "$DIRпрошивка.hex"}},
                     {"COM6"}, std::nullopt, "COM6",
                     {"menu COM6", "pane COM6", "begin on", "caption прошивка.hex"}, "прошивка.hex"},
        TStartupCase{"StalePortAskedAgain", {{"PortName", "Name", "COM9"}, {"FileName", "Name", "$DIRfw.hex"}},
                     {"COM5"},
                     std::nullopt, Unchosen, {"menu COM5", PortMessage, "begin on", "caption fw.hex"}, "fw.hex"},
        TStartupCase{"NoPortsAtAll", {{"PortName", "Name", "COM6"}, {"FileName", "Name", "$DIRfw.hex"}},
                     {}, std::nullopt, Unchosen, {"menu", PortMessage, "begin on", "caption fw.hex"}, "fw.hex"},
        TStartupCase{"PortSectionWithoutNameMeansCom1",
                     {{"PortName", "Speed", "9600"}, {"FileName", "Name", "$DIRfw.hex"}},
                     {"COM1", "COM2"},
                     std::nullopt, "COM1", {"menu COM1 COM2", "pane COM1", "begin on", "caption fw.hex"}, "fw.hex"},
        TStartupCase{"GoneFileAskedAgain", {{"PortName", "Name", "COM6"}, {"FileName", "Name", "$DIRgone.hex"}},
                     {"COM6"},
                     "$DIRfw.hex", "COM6", {"menu COM6", "pane COM6", Ask, "begin on", "caption fw.hex"}, "fw.hex"},
        TStartupCase{"FolderIsNoFile", {{"PortName", "Name", "COM6"}, {"FileName", "Name", "$DIRfolder.hex"}}, {"COM6"},
                     std::nullopt, "COM6", {"menu COM6", "pane COM6", Ask, "caption "}, ""}),
    [](const ::testing::TestParamInfo<TStartupCase>& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(WindowRules, ChosenFileIsKeptInTheSettingsButTheCaptionStays) {
  WriteSettings({{"PortName", "Name", "COM6"}, {"FileName", "Name", WriteFile("a.hex", "")}});
  TMainWindowRules rules(Face, Options({"COM6"}));
  rules.FormCreate();
  const std::string other = WriteFile("b.hex", "");
  Face.FileAnswers.push_back(other);
  rules.ASelectFileExecute();
  EXPECT_EQ(rules.HexFileName(), other);
  EXPECT_EQ(ReadSetting("FileName"), other);
  EXPECT_EQ(Face.Caption, "a.hex");
}

struct TLineBreakCase {
  const char* Name;
  const char* FileName;
};
void PrintTo(const TLineBreakCase& C, std::ostream* Out) { *Out << C.Name; }

class WindowRulesLineBreak : public WindowRules, public ::testing::WithParamInterface<TLineBreakCase> {};

TEST_P(WindowRulesLineBreak, FileNameIsRefusedBeforeAnythingChanges) {
  const std::string kept = WriteFile("a.hex", "");
  WriteSettings({{"PortName", "Name", "COM6"}, {"FileName", "Name", kept}});
  TMainWindowRules rules(Face, Options({"COM6"}));
  rules.FormCreate();
  const std::string before = ReadIni();
  Face.FileAnswers.push_back(Path(GetParam().FileName));
  rules.ASelectFileExecute();
  EXPECT_EQ(Errors, std::vector<std::string>{texts::FileNameWithLineBreak});
  EXPECT_EQ(rules.HexFileName(), kept);
  EXPECT_EQ(ReadIni(), before);
}

// One row a case: every line end the settings file knows.
// clang-format off
INSTANTIATE_TEST_SUITE_P(
    LineEnds, WindowRulesLineBreak,
    ::testing::Values(TLineBreakCase{"LineFeed", "two\nlines.hex"},
                      TLineBreakCase{"CarriageReturn", "two\rlines.hex"},
                      TLineBreakCase{"CarriageReturnLineFeed", "two\r\nlines.hex"}),
    [](const ::testing::TestParamInfo<TLineBreakCase>& Info) { return std::string(Info.param.Name); });
// clang-format on

TEST_F(WindowRules, PortMessageIsShownWhenThePostedMessageArrivesAndOnlyThen) {
  TMainWindowRules rules(Face, Options({"COM6"}));
  rules.AChangeComPortExecute();
  EXPECT_EQ(rules.PendingMessage(), texts::PortNotDefined);
  EXPECT_TRUE(Face.Messages.empty());
  rules.PendingMessageArrived();
  EXPECT_EQ(Face.Messages, std::vector<std::string>{texts::PortNotDefined});
  EXPECT_TRUE(rules.PendingMessage().empty());
}

TEST_F(WindowRules, FailingStepEndsStartUpThereAndIsShownOnce) {
  TMainWindowRules rules(
      Face, {[]() -> std::vector<std::string> { throw std::runtime_error("no ports today"); }, Path("hexloader.ini")});
  rules.FormCreate();
  EXPECT_EQ(Errors, std::vector<std::string>{"no ports today"});
  EXPECT_TRUE(Face.Log.empty()) << "no port message, no file question, no caption";
  EXPECT_EQ(Face.Caption, "(stored)");
}

TEST_F(WindowRules, StartWithoutAPortDoesNothingAtAll) {
  WriteSettings({{"PortName", "Name", "COM9"}, {"FileName", "Name", WriteFile("a.hex", "")}});
  TMainWindowRules rules(Face, Options({}));
  rules.FormCreate();
  Face.Log.clear();
  rules.ABeginExecute();
  EXPECT_TRUE(Face.Log.empty());
  EXPECT_TRUE(Errors.empty());
  EXPECT_FALSE(rules.SerialComm1().IsOpen());
}

// The Port menu checks the port the pane names: none before one is chosen, the restored one, and still
// that one after a pick that could not be opened (the pane keeps it too).
TEST_F(WindowRules, PortMenuChecksThePortInUse) {
  TRecordingFace first;
  TMainWindowRules none(first, Options({"COM5", "COM6"}));
  none.PortMenuOpening();
  EXPECT_EQ(first.Log, std::vector<std::string>{"menu COM5 COM6"});

  const std::string missing = Path("no-such-port");
  WriteSettings({{"PortName", "Name", "COM6"}, {"FileName", "Name", WriteFile("a.hex", "")}});
  TMainWindowRules rules(Face, Options({"COM6", missing}));
  rules.FormCreate();
  const auto menuOpened = [&] {
    Face.Log.clear();
    rules.PortMenuOpening();
    std::string checked;
    for (const std::string& line : Face.Log)
      for (std::size_t at = line.find(" *"); at != std::string::npos; at = line.find(" *", at + 1))
        checked += line.substr(at + 2, line.find(' ', at + 2) - at - 2) + ";";
    return checked;
  };
  EXPECT_EQ(menuOpened(), "COM6;");
  EXPECT_EQ(rules.PortInUse(), "COM6");

  rules.PortMenuClick(missing);
  EXPECT_EQ(Errors.size(), 1u) << "a port that cannot be opened says why";
  EXPECT_EQ(menuOpened(), "COM6;");
}

// Start-up moves the process into its settings' folder when it was started where programs are installed
// (/usr; under wine the program-files folder), and leaves a folder the user may write alone.
TEST_F(WindowRules, StartUpLeavesTheInstallationFolderForTheSettingsFolder) {
  const char* programFiles = std::getenv("ProgramFiles");
  const fs::path installed = PathFromUtf8(programFiles ? programFiles : "/usr");
  const fs::path before = fs::current_path();
  struct TBack {
    fs::path Folder;
    ~TBack() { fs::current_path(Folder); }
  } back{before};
  WriteSettings({{"PortName", "Name", "COM6"}, {"FileName", "Name", WriteFile("a.hex", "")}});

  fs::current_path(installed);
  {
    TMainWindowRules rules(Face, Options({"COM6"}));
    rules.FormCreate();
  }
  EXPECT_TRUE(fs::equivalent(fs::current_path(), Dir)) << Utf8FromPath(fs::current_path());

  fs::create_directories(Dir / "work");
  fs::current_path(Dir / "work");
  {
    TMainWindowRules rules(Face, Options({"COM6"}));
    rules.FormCreate();
  }
  EXPECT_TRUE(fs::equivalent(fs::current_path(), Dir / "work")) << Utf8FromPath(fs::current_path());
  EXPECT_TRUE(Errors.empty());
}

TEST_F(WindowRules, ExitClosesTheWindowAndDestroyRunsOnce) {
  auto rules = std::make_unique<TMainWindowRules>(Face, Options({}));
  rules->AExitExecute();
  EXPECT_EQ(Face.Log, std::vector<std::string>{"close"});
  rules->FormDestroy();
  rules->FormDestroy();
  rules.reset();
  EXPECT_EQ(Face.Log, (std::vector<std::string>{"close", "no prompt", "still"}));
}

}  // namespace
}  // namespace hexloader
