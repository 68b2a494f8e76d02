// Work reaching the program: items on its command line and items dropped on its window,
// routed by kind to extraction, conversion or compression.
#include "res/resource.h"
#include "res/version.h"
#include "tests/e2e/driver/ui_driver.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using testwait::Responds;
using testwait::WaitUntil;

class Intake : public ::testing::Test {
 protected:
  // Runs the program with args and waits for it to end by itself.
  void RunToEnd(QuilletSandbox& box, const std::string& args) {
    ASSERT_TRUE(app.Start(box, args));
    int status = app.WaitForExit(30000);
    EXPECT_EQ(status, 0) << app.DescribeScreen();
  }
  // Answers the message box the program shows with its OK button and returns its text.
  std::string AnswerMessage(const char* expectedTitle = "Quillet") {
    HWND box = app.WaitForMessageBox();
    if (box == nullptr)
      return "<no message box>";
    EXPECT_EQ(WindowText(box), expectedTitle);
    std::string text = MessageBoxText(box);
    PressButton(box, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(box); })) << "the box stays: " << text;
    return text;
  }
  QuilletProcess app;
};

TEST_F(Intake, CommandLineItemsRunInOrderThenTheProgramEnds) {
  QuilletSandbox box("cmd-order");
  box.WriteFileText(box.Path("tools.lzh"), "x");
  box.WriteFileText(box.Path("pack.zip"), "x");
  RunToEnd(box, box.Path("tools.lzh") + " " + box.Path("pack.zip"));
  EXPECT_EQ(box.ArchiverLog(),
            (std::vector<std::string>{
                "Unlha\tx " + Quoted(box.Path("tools.lzh")) + " " + Quoted(box.Dir() + "\\"),
                "SevenZip\tx " + Quoted(box.Path("pack.zip")) + " \"-o" + box.Dir() + "\\\" *.*"}));
  EXPECT_FALSE(FileExists(box.IniPath())) << "the command-line path never saves";
}

TEST_F(Intake, ExtractionCommandsAndFolders) {
  QuilletSandbox box("extract");
  const std::string dl = box.Path("dl");
  const std::string out = box.Path("out");
  ::CreateDirectoryA(dl.c_str(), nullptr);
  ::CreateDirectoryA(out.c_str(), nullptr);
  for (const char* name : {"pack.zip", "pack.7z", "setup.cab", "backup.2003.lzh", "-r.lzh", "@.7z"})
    box.WriteFileText(dl + "\\" + name, "x");

  struct Case {
    const char* ini;
    const char* item;
    std::string logged;
    std::string madeFolder;
  } cases[] = {
      {"[Output]\r\nMakeDir=1\r\n", "pack.zip",
       "SevenZip\tx " + Quoted(dl + "\\pack.zip") + " \"-o" + dl + "\\pack\\\" *.*", dl + "\\pack"},
      {"[Output]\r\nType=1\r\nDirName=%OUT%\r\n", "pack.7z",
       "SevenZip\tx " + Quoted(dl + "\\pack.7z") + " \"-o" + out + "\\\" *.*", ""},
      {"[Output]\r\nType=1\r\nMakeDir=1\r\nDirName=%OUT%\r\n", "setup.cab",
       "Cab\t-x " + Quoted(dl + "\\setup.cab") + " " + Quoted(out + "\\setup\\") + " *.*",
       out + "\\setup"},
      {"[Output]\r\nMakeDir=1\r\n", "backup.2003.lzh",
       "Unlha\tx " + Quoted(dl + "\\backup.2003.lzh") + " " + Quoted(dl + "\\backup.2003\\"),
       dl + "\\backup.2003"},
      // Named like a switch or a list file: passed whole, as every archive is.
      {"", "-r.lzh", "Unlha\tx " + Quoted(dl + "\\-r.lzh") + " " + Quoted(dl + "\\"), ""},
      {"", "@.7z", "SevenZip\tx " + Quoted(dl + "\\@.7z") + " \"-o" + dl + "\\\" *.*", ""},
      // The same archive again: the folder made the first time is simply used.
      {"[Output]\r\nMakeDir=1\r\n", "backup.2003.lzh",
       "Unlha\tx " + Quoted(dl + "\\backup.2003.lzh") + " " + Quoted(dl + "\\backup.2003\\"),
       dl + "\\backup.2003"},
  };
  for (const Case& c : cases) {
    std::string ini = c.ini;
    size_t at = ini.find("%OUT%");
    if (at != std::string::npos)
      ini.replace(at, 5, out);
    box.WriteIni(ini);
    ::DeleteFileA(box.ArchiverLogPath().c_str());
    QuilletProcess run;
    ASSERT_TRUE(run.Start(box, Quoted(dl + "\\" + c.item)));
    EXPECT_EQ(run.WaitForExit(30000), 0) << run.DescribeScreen();
    EXPECT_EQ(box.ArchiverLog(), std::vector<std::string>{c.logged});
    if (!c.madeFolder.empty()) {
      EXPECT_TRUE(IsFolder(c.madeFolder)) << c.madeFolder;
    }
  }
}

TEST_F(Intake, OutputFolderEndingInABackslashIsDoubled) {
  QuilletSandbox box("extract-root");
  const std::string out = box.Path("out\\");
  ::CreateDirectoryA(out.c_str(), nullptr);
  box.WriteFileText(box.Path("setup.cab"), "x");
  box.WriteIni("[Output]\r\nType=1\r\nMakeDir=1\r\nDirName=" + out + "\r\n");
  RunToEnd(box, box.Path("setup.cab"));
  EXPECT_EQ(box.ArchiverLog(), std::vector<std::string>{"Cab\t-x " + Quoted(box.Path("setup.cab")) +
                                                        " " + Quoted(out + "\\setup\\") + " *.*"});
}

TEST_F(Intake, QuotedItemsWithSpacesAndShortNamesArriveLong) {
  QuilletSandbox box("cmd-long");
  const std::string folder = box.Path("Long Folder Name");
  ::CreateDirectoryA(folder.c_str(), nullptr);
  const std::string archive = folder + "\\archive file.lzh";
  box.WriteFileText(archive, "x");
  char shortPath[MAX_PATH] = {0};
  ASSERT_GT(::GetShortPathNameA(archive.c_str(), shortPath, sizeof shortPath), 0u);
  ASSERT_STRNE(shortPath, archive.c_str());
  RunToEnd(box, Quoted(archive) + " " + shortPath);
  std::string expected = "Unlha\tx " + Quoted(archive) + " " + Quoted(folder + "\\");
  EXPECT_EQ(box.ArchiverLog(), (std::vector<std::string>{expected, expected}));
}

TEST_F(Intake, AnItemThatCannotBeFoundIsNamedAndStopsTheBatch) {
  QuilletSandbox box("cmd-missing");
  box.WriteFileText(box.Path("a.lzh"), "x");
  box.WriteFileText(box.Path("c.lzh"), "x");
  const struct {
    std::string item, message;
  } cases[] = {
      {box.Path("b.lzh"), box.Path("b.lzh") + " が見つかりません。"},
      {R"(\\server\share\x.bmp)", R"(\\server\share\x.bmp が見つかりません。)"},
      {"Z:\\", "Z:\\ はドライブ全体のため圧縮できません。"},
  };
  for (const auto& c : cases) {
    ::DeleteFileA(box.ArchiverLogPath().c_str());
    ASSERT_TRUE(app.Start(box, box.Path("a.lzh") + " " + Quoted(c.item) + " " + box.Path("c.lzh")));
    EXPECT_EQ(AnswerMessage(), c.message);
    EXPECT_EQ(app.WaitForExit(), 0);
    ASSERT_EQ(box.ArchiverLog().size(), 1u) << c.item;
    EXPECT_NE(box.ArchiverLog()[0].find("a.lzh"), std::string::npos);
  }
}

TEST_F(Intake, MissingOutputFolderStopsTheFirstItem) {
  QuilletSandbox box("no-output");
  box.WriteFileText(box.Path("a.lzh"), "x");
  box.WriteFileText(box.Path("b.txt"), "x");
  box.WriteIni("[Output]\r\nType=1\r\nDirName=" + box.Path("nowhere") + "\r\n");
  ASSERT_TRUE(app.Start(box, box.Path("a.lzh") + " " + box.Path("b.txt")));
  EXPECT_EQ(AnswerMessage(), "出力ﾌｫﾙﾀﾞがありません。");
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_TRUE(box.ArchiverLog().empty());
  EXPECT_FALSE(FileExists(box.Path("nowhere")));
}

TEST_F(Intake, MissingLibraryIsReportedUnderTheProgramsNameAndStopsTheBatch) {
  struct Case {
    const char* dll;
    const char* item;
    const char* message;
  } cases[] = {
      {"unlha32.dll", "a.lzh", "UNLHA32.DLL が見つかりません。"},
      {"7-Zip32.dll", "a.7z", "7-Zip32.dll が見つかりません。"},
      {"cab32.dll", "a.cab", "CAB32.DLL が見つかりません。"},
  };
  for (const Case& c : cases) {
    QuilletSandbox box(std::string("missing-") + c.dll);
    box.RemoveArchiver(c.dll);
    box.WriteFileText(box.Path(c.item), "x");
    box.WriteFileText(box.Path("after.zip"), "x");
    box.WriteIni("[Output]\r\nMakeDir=1\r\nOpenDir=1\r\n");
    QuilletProcess run;
    ASSERT_TRUE(run.Start(box, box.Path(c.item) + " " + box.Path("after.zip")));
    HWND message = run.WaitForMessageBox();
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(WindowText(message), "Quillet");
    EXPECT_EQ(MessageBoxText(message), c.message);
    PressButton(message, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0);
    for (const std::string& line : box.ArchiverLog())
      EXPECT_EQ(line.find("after.zip"), std::string::npos) << "the batch went on: " << line;
    // The new folder was made before the library was looked for, and stays.
    EXPECT_TRUE(IsFolder(box.Path("a")));
  }
}

TEST_F(Intake, ALibraryPlantedInADroppedFolderIsNeverLoaded) {
  QuilletSandbox box("planted");
  box.RemoveArchiver("cab32.dll");
  const std::string planted = box.Path("planted");
  ::CreateDirectoryA(planted.c_str(), nullptr);
  // The stand-in would log what it was given: any line in the log means it ran.
  ASSERT_TRUE(::CopyFileA(
      (std::string(std::getenv("QUILLET_TEST_BIN")) + "\\standin_archivers\\cab32.dll").c_str(),
      (planted + "\\cab32.dll").c_str(), FALSE));
  box.WriteIni("[Archive]\r\nType=4\r\n");
  ASSERT_TRUE(app.Start(box, Quoted(planted)));
  EXPECT_EQ(AnswerMessage(), "CAB32.DLL が見つかりません。");
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_TRUE(box.ArchiverLog().empty()) << box.ArchiverLog()[0];
}

TEST_F(Intake, ItemsAreRoutedByKindBeforeExtension) {
  QuilletSandbox box("routing");
  ::CreateDirectoryA(box.Path("backup.zip").c_str(), nullptr);
  box.WriteFileText(box.Path("backup.zip\\inside.txt"), "x");
  box.WriteFileText(box.Path("photo.jpe"), "x");
  box.WriteFileText(box.Path("data.tar.gz"), "x");
  box.WriteFileText(box.Path("README"), "x");
  box.WriteFileText(box.Path("ARCHIVE.ZIP"), "x");
  RunToEnd(box, box.Path("backup.zip") + " " + box.Path("photo.jpe") + " " +
                    box.Path("data.tar.gz") + " " + box.Path("README") + " " +
                    box.Path("ARCHIVE.ZIP"));
  const std::string dir = box.Dir() + "\\";
  EXPECT_EQ(
      box.ArchiverLog(),
      (std::vector<std::string>{
          "Unlha\ta " + Quoted(box.Path("backup.lzh")) + " " + Quoted(dir) + " \"backup.zip\" -d",
          "Unlha\ta " + Quoted(box.Path("photo.lzh")) + " " + Quoted(box.Path("photo.jpe")),
          "Unlha\ta " + Quoted(box.Path("data.tar.lzh")) + " " + Quoted(box.Path("data.tar.gz")),
          "Unlha\ta " + Quoted(box.Path("README.lzh")) + " " + Quoted(box.Path("README")),
          "SevenZip\tx " + Quoted(box.Path("ARCHIVE.ZIP")) + " \"-o" + dir + "\" *.*"}));
}

// Any visible top-level window, of any process, whose title contains text.
HWND FindAnyWindowContaining(const std::string& text) {
  struct State {
    std::string text;
    HWND found;
  } state = {text, nullptr};
  ::EnumWindows(
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        State* s = reinterpret_cast<State*>(lParam);
        if (::IsWindowVisible(hwnd) && WindowText(hwnd).find(s->text) != std::string::npos) {
          s->found = hwnd;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&state));
  return state.found;
}

TEST_F(Intake, TheDestinationFolderOpensAfterASuccessfulExtraction) {
  QuilletSandbox box("open-dir");
  box.WriteFileText(box.Path("opened.zip"), "x");
  box.WriteIni("[Output]\r\nMakeDir=1\r\nOpenDir=1\r\n");
  RunToEnd(box, box.Path("opened.zip"));
  HWND folder = nullptr;
  WaitUntil([&] { return (folder = FindAnyWindowContaining("opened")) != nullptr; });
  ASSERT_NE(folder, nullptr) << "no window shows the folder";
  // Closed again, so it cannot stand in front of the windows of later tests.
  ::PostMessageA(folder, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(folder); }));
}

// The command line itself has no limit; each path keeps its own.
TEST_F(Intake, ManyItemsRunAndAnOverlongPathIsRefusedWithAMessage) {
  QuilletSandbox box("cmd-overlong");
  std::string items;
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) {
    names.push_back(box.Path("an item with a rather long name, dropped on the icon, number " +
                             std::to_string(100 + i) + ".lzh"));
    box.WriteFileText(names.back(), "x");
    items += Quoted(names.back()) + " ";
  }
  ASSERT_GT(items.size(), 4096u);
  std::string huge = box.Dir() + "\\" + std::string(3600, 'x') + ".lzh";
  ASSERT_TRUE(app.Start(box, items + huge + " " + Quoted(names[0])));
  std::string text = AnswerMessage();
  EXPECT_EQ(text, huge + " は長すぎるため処理できません。");
  EXPECT_EQ(app.WaitForExit(), 0);
  std::vector<std::string> log = box.ArchiverLog();
  ASSERT_EQ(log.size(), 40u) << "every item before the refused one, and none after it";
  for (int i = 0; i < 40; ++i)
    EXPECT_NE(log[i].find(names[i]), std::string::npos) << i;
}

TEST_F(Intake, DroppedItemsRunInOrderUntilOneFailsAndTheWindowStays) {
  QuilletSandbox box("drop");
  box.RemoveArchiver("cab32.dll");
  for (const char* name : {"one.lzh", "two.cab", "three.zip", "four.7z"})
    box.WriteFileText(box.Path(name), "x");
  ASSERT_TRUE(app.Start(box));
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(DropFiles(main, {box.Path("one.lzh"), box.Path("two.cab"), box.Path("three.zip")}));
  EXPECT_EQ(AnswerMessage(), "CAB32.DLL が見つかりません。");
  ASSERT_TRUE(Responds(main)) << "the drop handler has returned";
  ASSERT_EQ(box.ArchiverLog().size(), 1u);
  EXPECT_NE(box.ArchiverLog()[0].find("one.lzh"), std::string::npos);
  EXPECT_TRUE(app.Running()) << "the window stays open after a drop";

  ASSERT_TRUE(DropFiles(main, {box.Path("four.7z")}));
  WaitUntil([&] { return box.ArchiverLog().size() >= 2; });
  ASSERT_EQ(box.ArchiverLog().size(), 2u);
  EXPECT_NE(box.ArchiverLog()[1].find("four.7z"), std::string::npos);
  PressButton(main, IDCANCEL);
  EXPECT_NE(app.WaitForExit(), -1);
}

TEST_F(Intake, OverlongDroppedPathsAndOutputFoldersAreRefusedNotCut) {
  QuilletSandbox box("drop-overlong");
  box.WriteFileText(box.Path("after.lzh"), "x");
  ASSERT_TRUE(app.Start(box));
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  std::string huge = box.Dir() + "\\" + std::string(2600, 'y') + ".lzh";
  ASSERT_TRUE(DropFiles(main, {huge, box.Path("after.lzh")}));
  std::string text = AnswerMessage();
  EXPECT_EQ(text.find(box.Dir()), 0u) << "the message names the item";
  EXPECT_NE(text.find("は長すぎるため処理できません。"), std::string::npos) << text;
  ASSERT_TRUE(Responds(main)) << "the drop handler has returned";
  EXPECT_TRUE(box.ArchiverLog().empty()) << "the batch stops at the refused item";

  SetEditText(main, IDC_OUTPUT_DIR, "C:\\" + std::string(2600, 'o'));
  SetChecked(main, IDC_OUTPUT_SAME, false);
  SetChecked(main, IDC_OUTPUT_FOLDER, true);
  ASSERT_TRUE(DropFiles(main, {box.Path("after.lzh")}));
  text = AnswerMessage();
  EXPECT_NE(text.find("は長すぎるため処理できません。"), std::string::npos) << text;
  ASSERT_TRUE(Responds(main)) << "the drop handler has returned";
  EXPECT_TRUE(box.ArchiverLog().empty());
  EXPECT_TRUE(app.Running());
  PressButton(main, IDCANCEL);
}

TEST_F(Intake, MinimisingDuringTheBatchDoesNotStartItAgain) {
  QuilletSandbox box("minimise");
  box.WriteFileText(box.Path("first.txt"), "x");
  box.WriteFileText(box.Path("second.txt"), "x");
  box.WriteIni("[Archive]\r\nSelect=1\r\n");
  ASSERT_TRUE(app.Start(box, box.Path("first.txt") + " " + box.Path("second.txt")));
  HWND ask = app.WaitForWindow("first.txt - Quillet");
  ASSERT_NE(ask, nullptr);
  HWND main = app.FindWindowTitled("Quillet ver." QUILLET_VERSION_TEXT);
  ASSERT_NE(main, nullptr);
  // Sent rather than posted: each has been handled when the call returns.
  DWORD_PTR result = 0;
  for (WPARAM command : {SC_MINIMIZE, SC_RESTORE})
    EXPECT_NE(::SendMessageTimeoutA(main, WM_SYSCOMMAND, command, 0, SMTO_BLOCK,
                                    testwait::kDeadlineMs, &result),
              0)
        << command;
  PressButton(ask, IDOK);
  HWND next = app.WaitForWindow("second.txt - Quillet");
  ASSERT_NE(next, nullptr);
  PressButton(next, IDOK);
  EXPECT_EQ(app.WaitForExit(), 0) << app.DescribeScreen();
  std::vector<std::string> log = box.ArchiverLog();
  ASSERT_EQ(log.size(), 2u) << "each item once";
  EXPECT_NE(log[0].find("first.txt"), std::string::npos);
  EXPECT_NE(log[1].find("second.txt"), std::string::npos);
}

TEST_F(Intake, ADroppedShortPathIsNotLengthened) {
  QuilletSandbox box("drop-short");
  const std::string archive = box.Path("Some Long Archive Name.lzh");
  box.WriteFileText(archive, "x");
  char shortPath[MAX_PATH] = {0};
  ASSERT_GT(::GetShortPathNameA(archive.c_str(), shortPath, sizeof shortPath), 0u);
  ASSERT_TRUE(app.Start(box));
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(DropFiles(main, {shortPath}));
  WaitUntil([&] { return !box.ArchiverLog().empty(); });
  ASSERT_EQ(box.ArchiverLog().size(), 1u);
  EXPECT_NE(box.ArchiverLog()[0].find(std::string(shortPath)), std::string::npos)
      << box.ArchiverLog()[0];
  PressButton(main, IDCANCEL);
}

} // namespace
