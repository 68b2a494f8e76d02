// Names the program cannot hold in code page 932, and settings files it cannot trust or
// cannot write: each is named to the user, and nothing else is touched.
#include "res/resource.h"
#include "tests/e2e/driver/ui_driver.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <tuple>

namespace {

const wchar_t kUnusable[] = L" は名前に扱えない文字を含むため処理できません。";
const wchar_t kSwitch[] = L" は名前が「-」か「@」で始まるため圧縮できません。";

void WriteFileWide(const std::wstring& path, const std::string& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  ::CloseHandle(file);
}

class NamesAndSettings : public ::testing::Test {
 protected:
  // Waits for the program's message box, checks its title and answers OK; its text.
  std::wstring AnswerMessage() {
    HWND box = app.WaitForMessageBox();
    if (box == nullptr)
      return L"<no message box>";
    EXPECT_EQ(WindowText(box), "Quillet");
    std::wstring text = MessageBoxTextW(box);
    PressButton(box, IDOK);
    return text;
  }
  QuilletProcess app;
};

// é would become e, and 한국어 ???: either names another file, or none.
TEST_F(NamesAndSettings, ItemNamesOutsideTheCodePageAreRefusedNeverBent) {
  QuilletSandbox box("names-items");
  box.WriteIni("[Image]\r\nType=1\r\n");
  const std::string bmp = "BM-not-a-picture-but-never-opened";
  box.WriteFileText(box.Path("e.bmp"), bmp);
  for (const wchar_t* name : {L"\u00e9.bmp", L"\ud55c\uad6d\uc5b4.bmp"}) {
    const std::wstring item = Widen(box.Dir()) + L"\\" + name;
    WriteFileWide(item, bmp);
    ASSERT_TRUE(app.StartWide(box, L"\"" + item + L"\" " + Widen(box.Path("next.lzh"))));
    EXPECT_EQ(AnswerMessage(), item + kUnusable);
    EXPECT_EQ(app.WaitForExit(), 0);
    EXPECT_FALSE(FileExists(box.Path("e.png"))) << "the look-alike e.bmp was converted";
    EXPECT_TRUE(box.ArchiverLog().empty()) << "the batch stops";
  }
}

TEST_F(NamesAndSettings, AFolderHoldingAnUnusableNameIsNotArchived) {
  QuilletSandbox box("names-folder");
  const std::string folder = box.Path("docs");
  ::CreateDirectoryA(folder.c_str(), nullptr);
  ::CreateDirectoryA((folder + "\\sub").c_str(), nullptr);
  box.WriteFileText(folder + "\\a.txt", "a");
  const std::wstring bad = Widen(folder) + L"\\sub\\\ud55c\uad6d\uc5b4.txt";
  WriteFileWide(bad, "b");
  ASSERT_TRUE(app.Start(box, Quoted(folder)));
  EXPECT_EQ(AnswerMessage(), bad + kUnusable);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_TRUE(box.ArchiverLog().empty());
  EXPECT_FALSE(FileExists(box.Path("docs.lzh")));
}

// Refused before any work, named in the message: names Windows would misread, given (t.bmp.
// beside t.bmp), inside a folder or built (out. beside out), and names read as switches.
TEST_F(NamesAndSettings, NamesThatWouldActOnAnotherFileAreRefused) {
  QuilletSandbox box("names-misread");
  const std::wstring dir = Widen(box.Dir() + "\\"), raw = L"\\\\?\\" + dir; // as others make them
  for (const wchar_t* folder : {L"out", L"out.", L"aux", L"-r", L"@box", L"box"})
    ::CreateDirectoryW((raw + folder).c_str(), nullptr);
  const std::string out = "[Output]\r\nType=1\r\nDirName=" + box.Path("out.") + "\r\n";
  std::vector<std::tuple<std::string, std::wstring, std::wstring, const wchar_t*>> cases = {
      {"[Output]\r\nMakeDir=1\r\n", L"pack..zip", L"pack.\\", kUnusable},
      {out, L"p.png", L"out.\\p.png", kUnusable},
      {out, L"r.txt", L"out.\\r.lzh", kUnusable},
      {"", L"box", L"box\\aux.txt", kUnusable}};
  for (const wchar_t* item :
       {L"t.bmp.", L"u.bmp ", L"aux.bmp", L"con.jpg", L"nul.png", L"com1.bmp", L"lpt1.txt.bmp",
        L"aux.txt", L"COM\u00b9.bmp", L"aux", L"-sdel", L"-ao.txt", L"@list.txt", L"-r", L"@box"})
    cases.emplace_back("", item, item, wcschr(L"-@", item[0]) ? kSwitch : kUnusable);
  for (const wchar_t* file : {L"t.bmp", L"u.bmp", L"next.lzh", L"box\\aux.txt"})
    WriteFileWide(raw + file, "x");
  for (const auto& [ini, item, named, text] : cases) {
    if (::GetFileAttributesW((raw + item).c_str()) == INVALID_FILE_ATTRIBUTES)
      WriteFileWide(raw + item, "x");
    box.WriteIni("[Image]\r\nType=1\r\n" + ini);
    ASSERT_TRUE(app.StartWide(box, L"\"" + dir + item + L"\" \"" + dir + L"next.lzh\""));
    EXPECT_EQ(AnswerMessage(), dir + named + text);
    EXPECT_EQ(app.WaitForExit(), 0);
  }
  EXPECT_TRUE(box.ArchiverLog().empty()) << "an archiver called, or a batch that went on";
}

// Output type 2 once sent pictures to the drive root, image type 7 converted to nothing.
TEST_F(NamesAndSettings, OutOfRangeSettingsReadAsTheirDefaults) {
  QuilletSandbox box("settings-range");
  box.WriteIni("[Output]\r\nType=2\r\n[Archive]\r\nType=9\r\n[Image]\r\nType=7\r\n");
  ASSERT_TRUE(app.Start(box));
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_TRUE(IsChecked(main, IDC_OUTPUT_SAME));
  EXPECT_EQ(SelectedListRow(main, IDC_ARCHIVE_TYPE), 0);
  EXPECT_EQ(SelectedListRow(main, IDC_IMAGE_TYPE), 0);
  PressButton(main, IDCANCEL);
  EXPECT_NE(app.WaitForExit(), -1);
  EXPECT_EQ(IniValue(box.IniPath(), "Output", "Type"), "2") << "the file is left as it was";
}

// Locked by another program (a read-only file is writable for root under Wine).
TEST_F(NamesAndSettings, SettingsThatCannotBeSavedAreReported) {
  QuilletSandbox box("settings-locked");
  box.WriteIni("[Image]\r\nJpegQuality=70\r\n");
  const std::string before = box.ReadFileText(box.IniPath());
  ASSERT_TRUE(app.Start(box));
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  HANDLE lock = ::CreateFileA(box.IniPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  PressButton(main, IDOK);
  EXPECT_EQ(AnswerMessage(), Widen(box.IniPath() + " に設定を保存することが出来ませんでした"));
  EXPECT_EQ(app.WaitForExit(), 0);
  ::CloseHandle(lock);
  EXPECT_EQ(box.ReadFileText(box.IniPath()), before);
}

} // namespace
