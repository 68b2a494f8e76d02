// The settings window and its INI file, worked through the real window.
#include "res/resource.h"
#include "res/version.h"
#include "tests/e2e/driver/ui_driver.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <regex>

namespace {

using testwait::Responds;
using testwait::WaitUntil;

const char kDefaultsWritten[] = "[Output]\r\nDirName=\r\nType=0\r\nAddExt=0\r\nMakeDir=0\r\n"
                                "OpenDir=0\r\n[Archive]\r\nType=0\r\nSelect=0\r\n[Image]\r\n"
                                "Type=0\r\nJpegQuality=80\r\nSelect=0\r\n";

class SettingsWindow : public ::testing::Test {
 protected:
  HWND Open(QuilletSandbox& box) {
    EXPECT_TRUE(app.Start(box));
    HWND main = app.MainWindow();
    EXPECT_NE(main, nullptr) << app.DescribeScreen();
    return main;
  }
  QuilletProcess app;
};

TEST_F(SettingsWindow, WithoutSettingsFileShowsDefaultsAndOkWritesAllTenKeysInOrder) {
  QuilletSandbox box("defaults");
  HWND main = Open(box);
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(IsChecked(main, IDC_OUTPUT_SAME));
  EXPECT_FALSE(IsChecked(main, IDC_OUTPUT_FOLDER));
  EXPECT_EQ(ControlText(main, IDC_OUTPUT_DIR), "");
  for (int id : {IDC_ADD_EXT, IDC_MAKE_DIR, IDC_OPEN_DIR, IDC_ARCHIVE_SELECT, IDC_IMAGE_SELECT})
    EXPECT_FALSE(IsChecked(main, id)) << id;
  EXPECT_EQ(SelectedListRow(main, IDC_ARCHIVE_TYPE), 0);
  EXPECT_EQ(SelectedListRow(main, IDC_IMAGE_TYPE), 0);
  EXPECT_EQ(ListRows(main, IDC_IMAGE_TYPE),
            (std::vector<std::string>{"BITMAP FILE", "PNG FILE", "JPEG FILE"}));
  EXPECT_EQ(ControlText(main, IDC_QUALITY), "80");
  EXPECT_EQ(ScrollPosition(main, IDC_QUALITY_SCROLL), 80);
  EXPECT_FALSE(FileExists(box.IniPath()));

  PressButton(main, IDOK);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_EQ(box.ReadFileText(box.IniPath()), kDefaultsWritten);
}

TEST_F(SettingsWindow, ArchiveRowsShowInstalledVersionsWithFixedPadding) {
  QuilletSandbox box("versions");
  HWND main = Open(box);
  ASSERT_NE(main, nullptr);
  SaveScreenshot(main, "settings-window");
  std::vector<std::string> rows = ListRows(main, IDC_ARCHIVE_TYPE);
  ASSERT_EQ(rows.size(), 6u);
  const char* patterns[] = {
      R"(LHA          \(UNLHA32\.DLL ver\.\d+\.\d\d\))",
      "LHA \x8E\xA9\x8C\xC8\x89\xF0\x93\x80 \\(UNLHA32\\.DLL ver\\.\\d+\\.\\d\\d\\)",
      R"(ZIP          \(7-ZIP32\.DLL ver\.\d+\.\d\d\))",
      R"(7-ZIP        \(7-ZIP32\.DLL ver\.\d+\.\d\d\))",
      R"(CAB          \(CAB32\.DLL   ver\.\d+\.\d\d\))",
      "CAB \x8E\xA9\x8C\xC8\x89\xF0\x93\x80 \\(CAB32\\.DLL   ver\\.\\d+\\.\\d\\d\\)",
  };
  for (int i = 0; i < 6; ++i)
    ASSERT_TRUE(std::regex_match(rows[i], std::regex(patterns[i]))) << i << ": " << rows[i];
  // Both rows of one library show the same version.
  EXPECT_EQ(rows[0].substr(rows[0].find("ver.")), rows[1].substr(rows[1].find("ver.")));
  EXPECT_EQ(rows[4].substr(rows[4].find("ver.")), rows[5].substr(rows[5].find("ver.")));
}

TEST_F(SettingsWindow, MissingLibrariesKeepSixRowsAndTheSavedSelection) {
  QuilletSandbox box("missing", false);
  box.WriteIni("[Archive]\r\nType=3\r\n");
  HWND main = Open(box);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(
      ListRows(main, IDC_ARCHIVE_TYPE),
      (std::vector<std::string>{
          "LHA          (UNLHA32.DLL がありません)", "LHA 自己解凍 (UNLHA32.DLL がありません)",
          "ZIP          (7-ZIP32.DLL がありません)", "7-ZIP        (7-ZIP32.DLL がありません)",
          "CAB          (CAB32.DLL   がありません)", "CAB 自己解凍 (CAB32.DLL   がありません)"}));
  EXPECT_EQ(SelectedListRow(main, IDC_ARCHIVE_TYPE), 3);
}

TEST_F(SettingsWindow, CancelCloseBoxAndExitLeaveTheFileAsItWas) {
  const std::string original =
      "[Output]\r\nDirName=C:\\keep\r\nType=1\r\n[Image]\r\nJpegQuality=33\r\n";
  struct Way {
    const char* name;
    void (*leave)(HWND);
  } ways[] = {
      {"cancel", [](HWND w) { PressButton(w, IDCANCEL); }},
      {"close", [](HWND w) { ::PostMessageA(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"exit", [](HWND w) { ::PostMessageA(w, WM_COMMAND, MAKEWPARAM(ID_APP_EXIT_NOW, 0), 0); }},
  };
  for (const Way& way : ways) {
    QuilletSandbox box(std::string("leave-") + way.name);
    box.WriteIni(original);
    QuilletProcess run;
    ASSERT_TRUE(run.Start(box));
    HWND main = run.MainWindow();
    ASSERT_NE(main, nullptr) << way.name;
    EXPECT_EQ(ControlText(main, IDC_OUTPUT_DIR), "C:\\keep");
    EXPECT_TRUE(IsChecked(main, IDC_OUTPUT_FOLDER));
    EXPECT_EQ(ControlText(main, IDC_QUALITY), "33");
    SetChecked(main, IDC_ADD_EXT, true);
    SetEditText(main, IDC_OUTPUT_DIR, "C:\\changed");
    Scroll(main, IDC_QUALITY_SCROLL, SB_PAGERIGHT);
    way.leave(main);
    EXPECT_NE(run.WaitForExit(), -1) << way.name << " did not end the program";
    EXPECT_EQ(box.ReadFileText(box.IniPath()), original) << way.name;
  }
}

TEST_F(SettingsWindow, QualityScrollBarMovesByOneAndFiveWithinOneToHundred) {
  QuilletSandbox box("scroll");
  box.WriteIni("[Image]\r\nJpegQuality=3\r\n");
  HWND main = Open(box);
  ASSERT_NE(main, nullptr);
  struct Step {
    int code, thumb;
    const char* shown;
  } steps[] = {
      {SB_LINELEFT, 0, "2"},    {SB_PAGELEFT, 0, "1"},    {SB_LINELEFT, 0, "1"},
      {SB_LINERIGHT, 0, "2"},   {SB_PAGERIGHT, 0, "7"},   {SB_THUMBTRACK, 98, "98"},
      {SB_PAGERIGHT, 0, "100"}, {SB_LINERIGHT, 0, "100"}, {SB_THUMBPOSITION, 0, "1"},
      {SB_ENDSCROLL, 0, "1"},   {SB_RIGHT, 0, "1"},
  };
  for (const Step& s : steps) {
    Scroll(main, IDC_QUALITY_SCROLL, s.code, s.thumb);
    EXPECT_EQ(ControlText(main, IDC_QUALITY), s.shown) << "code " << s.code;
    EXPECT_EQ(ScrollPosition(main, IDC_QUALITY_SCROLL), std::atoi(s.shown));
  }
  PressButton(main, IDOK);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_NE(box.ReadFileText(box.IniPath()).find("JpegQuality=1\r\n"), std::string::npos);
}

TEST_F(SettingsWindow, OutOfRangeQualityIsKeptInTheRecord) {
  QuilletSandbox box("quality150");
  box.WriteIni("[Image]\r\nJpegQuality=150\r\n");
  HWND main = Open(box);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(ControlText(main, IDC_QUALITY), "150");
  EXPECT_EQ(ScrollPosition(main, IDC_QUALITY_SCROLL), 100);
  PressButton(main, IDOK);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_NE(box.ReadFileText(box.IniPath()).find("JpegQuality=150\r\n"), std::string::npos);
}

TEST_F(SettingsWindow, GarbageValuesOpenTheWindowAndReadBackByThePushRules) {
  QuilletSandbox box("garbage");
  box.WriteIni("junk line\r\n[Output]\r\nType=7\r\nAddExt=5\r\nMakeDir=-3\r\nOpenDir=abc\r\n"
               "[Archive]\r\nType=9\r\n[Image]\r\nType=-4\r\nJpegQuality=x\r\n");
  HWND main = Open(box);
  ASSERT_NE(main, nullptr);
  // Types outside their ranges read as their defaults; the switches follow the push rules.
  EXPECT_TRUE(IsChecked(main, IDC_OUTPUT_SAME));
  EXPECT_FALSE(IsChecked(main, IDC_OUTPUT_FOLDER));
  EXPECT_FALSE(IsChecked(main, IDC_ADD_EXT));
  EXPECT_EQ(SelectedListRow(main, IDC_ARCHIVE_TYPE), 0);
  EXPECT_EQ(SelectedListRow(main, IDC_IMAGE_TYPE), 0);
  EXPECT_EQ(ControlText(main, IDC_QUALITY), "80");
  PressButton(main, IDOK);
  EXPECT_EQ(app.WaitForExit(), 0);
  const std::string ini = box.IniPath();
  EXPECT_EQ(IniValue(ini, "Output", "Type"), "0");
  EXPECT_EQ(IniValue(ini, "Output", "AddExt"), "0");
  EXPECT_EQ(IniValue(ini, "Output", "MakeDir"), "0");
  EXPECT_EQ(IniValue(ini, "Output", "OpenDir"), "0");
  EXPECT_EQ(IniValue(ini, "Archive", "Type"), "0");
  EXPECT_EQ(IniValue(ini, "Image", "Type"), "0");
  EXPECT_EQ(IniValue(ini, "Image", "JpegQuality"), "80");
}

// A quality below 1, or no number at all, would write worthless pictures: it reads as 80.
TEST_F(SettingsWindow, UnusableQualityValuesReadAsEighty) {
  for (const char* value : {"abc", "0", "-5"}) {
    QuilletSandbox box(std::string("quality") + value);
    box.WriteIni(std::string("[Image]\r\nJpegQuality=") + value + "\r\n");
    QuilletProcess run;
    ASSERT_TRUE(run.Start(box)) << value;
    HWND main = run.MainWindow();
    ASSERT_NE(main, nullptr) << value;
    EXPECT_EQ(ControlText(main, IDC_QUALITY), "80") << value;
    EXPECT_EQ(ScrollPosition(main, IDC_QUALITY_SCROLL), 80) << value;
    PressButton(main, IDOK);
    EXPECT_EQ(run.WaitForExit(), 0) << value;
    EXPECT_EQ(IniValue(box.IniPath(), "Image", "JpegQuality"), "80") << value;
  }
}

TEST_F(SettingsWindow, TypedFolderKeepsTheRadioAndIsSavedWholeEvenWhenLong) {
  QuilletSandbox box("typed");
  HWND main = Open(box);
  ASSERT_NE(main, nullptr);
  std::string longFolder = "C:\\" + std::string(300, 'd');
  SetEditText(main, IDC_OUTPUT_DIR, longFolder);
  EXPECT_TRUE(IsChecked(main, IDC_OUTPUT_SAME));
  PressButton(main, IDOK);
  EXPECT_EQ(app.WaitForExit(), 0);
  std::string saved = box.ReadFileText(box.IniPath());
  EXPECT_NE(saved.find("DirName=" + longFolder + "\r\nType=0\r\n"), std::string::npos) << saved;

  QuilletProcess again;
  ASSERT_TRUE(again.Start(box));
  HWND reopened = again.MainWindow();
  ASSERT_NE(reopened, nullptr);
  EXPECT_EQ(ControlText(reopened, IDC_OUTPUT_DIR), longFolder);
}

// The shell's folder browser of the program: a dialog showing the program's prompt.
HWND FolderBrowser(QuilletProcess& app) {
  for (HWND h : app.Windows()) {
    if (ClassName(h) != "#32770" || WindowText(h) == "Quillet ver." QUILLET_VERSION_TEXT)
      continue;
    HWND prompt = ::FindWindowExA(h, nullptr, "Static", nullptr);
    for (; prompt != nullptr; prompt = ::FindWindowExA(h, prompt, "Static", nullptr))
      if (WindowText(prompt) == "出力ﾌｫﾙﾀﾞを指定して下さい。")
        return h;
  }
  return nullptr;
}

HWND WaitForFolderBrowser(QuilletProcess& app) {
  HWND browser = nullptr;
  if (WaitUntil([&] { return (browser = FolderBrowser(app)) != nullptr; }) && Responds(browser))
    return browser;
  ADD_FAILURE() << "no folder browser; on screen:\n" << app.DescribeScreen();
  return nullptr;
}

// Presses a button of a window that then closes, and waits until it is gone and the main
// window takes messages again (whatever the press started has ended).
void PressAndSettle(HWND window, int id, HWND main) {
  PressButton(window, id);
  EXPECT_TRUE(WaitUntil([&] { return !::IsWindow(window); })) << "the window stays";
  EXPECT_TRUE(Responds(main));
}

TEST_F(SettingsWindow, BrowsingForAFolderSetsItAndSwitchesTheOutputPlace) {
  QuilletSandbox box("browse");
  HWND main = Open(box);
  ASSERT_NE(main, nullptr);
  SetEditText(main, IDC_OUTPUT_DIR, "typed by hand");

  PressButton(main, IDC_BROWSE);
  HWND browser = WaitForFolderBrowser(app);
  ASSERT_NE(browser, nullptr);
  PressAndSettle(browser, IDCANCEL, main);
  EXPECT_EQ(ControlText(main, IDC_OUTPUT_DIR), "typed by hand")
      << "a cancelled browse changes nothing";
  EXPECT_TRUE(IsChecked(main, IDC_OUTPUT_SAME));

  PressButton(main, IDC_BROWSE);
  browser = WaitForFolderBrowser(app);
  ASSERT_NE(browser, nullptr);
  PressAndSettle(browser, IDOK, main); // the folder the browser opens on
  std::string chosen = ControlText(main, IDC_OUTPUT_DIR);
  EXPECT_NE(chosen, "typed by hand");
  EXPECT_TRUE(IsFolder(chosen)) << chosen;
  EXPECT_TRUE(IsChecked(main, IDC_OUTPUT_FOLDER));
  EXPECT_FALSE(IsChecked(main, IDC_OUTPUT_SAME));
}

TEST_F(SettingsWindow, AboutBoxOpensFromBothMenus) {
  QuilletSandbox box("about");
  HWND main = Open(box);
  ASSERT_NE(main, nullptr);
  ::PostMessageA(main, WM_SYSCOMMAND, IDM_ABOUTBOX, 0);
  HWND about = app.WaitForWindow("ﾊﾞｰｼﾞｮﾝ情報", 10000);
  ASSERT_NE(about, nullptr);
  PressAndSettle(about, IDOK, main);
  ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(ID_ABOUT, 0), 0);
  about = app.WaitForWindow("ﾊﾞｰｼﾞｮﾝ情報", 10000);
  ASSERT_NE(about, nullptr);
  PressButton(about, IDOK);
}

} // namespace
