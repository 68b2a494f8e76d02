// The per-item questions asked when the ask switches are on.
#include "res/resource.h"
#include "tests/e2e/driver/ui_driver.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class ChoiceDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    box.reset(new QuilletSandbox(::testing::UnitTest::GetInstance()->current_test_info()->name()));
  }
  HWND OpenMain() {
    EXPECT_TRUE(app.Start(*box));
    return app.MainWindow();
  }
  void WaitForLogLines(size_t n) {
    testwait::WaitUntil([&] { return box->ArchiverLog().size() >= n; });
  }
  // Presses a button of a window that then closes, and waits until it is gone and the main
  // window takes messages again (whatever the press started has ended).
  void PressAndSettle(HWND window, int id, HWND main) {
    PressButton(window, id);
    EXPECT_TRUE(testwait::WaitUntil([&] { return !::IsWindow(window); })) << "the window stays";
    EXPECT_TRUE(testwait::Responds(main));
  }
  std::unique_ptr<QuilletSandbox> box;
  QuilletProcess app;
};

TEST_F(ChoiceDialogs, EachDroppedItemAsksAndTheChoiceCarriesToTheNextAndIntoTheSettings) {
  box->WriteIni("[Archive]\r\nSelect=1\r\nType=0\r\n");
  for (const char* name : {"a.txt", "b.txt", "c.txt"})
    box->WriteFileText(box->Path(name), "x");
  HWND main = OpenMain();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(DropFiles(main, {box->Path("a.txt"), box->Path("b.txt"), box->Path("c.txt")}));

  HWND ask = app.WaitForWindow("a.txt - Quillet");
  ASSERT_NE(ask, nullptr);
  SaveScreenshot(ask, "archive-type-question");
  EXPECT_EQ(ListRows(ask, IDC_ARCHIVE_TYPE), ListRows(main, IDC_ARCHIVE_TYPE));
  EXPECT_EQ(SelectedListRow(ask, IDC_ARCHIVE_TYPE), 0);
  SelectListRow(ask, IDC_ARCHIVE_TYPE, 2);
  PressButton(ask, IDOK);
  WaitForLogLines(1);

  ask = app.WaitForWindow("b.txt - Quillet");
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(SelectedListRow(ask, IDC_ARCHIVE_TYPE), 2) << "opens on the previous choice";
  SelectListRow(ask, IDC_ARCHIVE_TYPE, 4);
  PressButton(ask, IDOK);
  WaitForLogLines(2);

  ask = app.WaitForWindow("c.txt - Quillet");
  ASSERT_NE(ask, nullptr);
  EXPECT_EQ(SelectedListRow(ask, IDC_ARCHIVE_TYPE), 4);
  PressAndSettle(ask, IDCANCEL, main);

  std::vector<std::string> log = box->ArchiverLog();
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(log[0].rfind("SevenZip\ta -tzip \"" + box->Path("a.zip") + "\"", 0), 0u) << log[0];
  EXPECT_EQ(log[1].rfind("Cab\t-a \"" + box->Path("b.cab") + "\"", 0), 0u) << log[1];
  EXPECT_FALSE(FileExists(box->Path("c.cab")));

  EXPECT_EQ(SelectedListRow(main, IDC_ARCHIVE_TYPE), 4) << "the choice shows in the main window";
  EXPECT_EQ(IniValue(box->IniPath(), "Archive", "Type"), "0") << "nothing saved before OK";
  PressButton(main, IDOK);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_EQ(IniValue(box->IniPath(), "Archive", "Type"), "4");
}

TEST_F(ChoiceDialogs, AFolderIsTitledWithItsWholeName) {
  box->WriteIni("[Archive]\r\nSelect=1\r\n");
  ::CreateDirectoryA(box->Path("album.2003").c_str(), nullptr);
  ASSERT_TRUE(app.Start(*box, box->Path("album.2003")));
  HWND ask = app.WaitForWindow("album.2003 - Quillet");
  ASSERT_NE(ask, nullptr);
  ::PostMessageA(ask, WM_SYSCOMMAND, SC_CLOSE, 0); // the close box cancels like Cancel
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_TRUE(box->ArchiverLog().empty());
}

TEST_F(ChoiceDialogs, ImageQuestionStoresTheQualityWhateverTheFormat) {
  box->WriteIni("[Image]\r\nSelect=1\r\nType=1\r\nJpegQuality=50\r\n");
  box->WriteFileText(box->Path("pic.png"), "not really a picture");
  HWND main = OpenMain();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(DropFiles(main, {box->Path("pic.png")}));
  HWND ask = app.WaitForWindow("pic.png - Quillet");
  ASSERT_NE(ask, nullptr);
  SaveScreenshot(ask, "image-options-question");
  EXPECT_EQ(ListRows(ask, IDC_IMAGE_TYPE),
            (std::vector<std::string>{"BITMAP FILE", "PNG FILE", "JPEG FILE"}));
  EXPECT_EQ(SelectedListRow(ask, IDC_IMAGE_TYPE), 1);
  EXPECT_EQ(ControlText(ask, IDC_QUALITY), "50");
  EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(ask, IDC_QUALITY_SCROLL)));
  Scroll(ask, IDC_QUALITY_SCROLL, SB_THUMBTRACK, 0);
  EXPECT_EQ(ControlText(ask, IDC_QUALITY), "1") << "the far left is 1, never 0";
  Scroll(ask, IDC_QUALITY_SCROLL, SB_THUMBPOSITION, 98);
  Scroll(ask, IDC_QUALITY_SCROLL, SB_PAGERIGHT);
  EXPECT_EQ(ControlText(ask, IDC_QUALITY), "100");
  Scroll(ask, IDC_QUALITY_SCROLL, SB_LINELEFT);
  PressButton(ask, IDOK);

  // Same format in and out: the program asks before overwriting; No stops the item.
  HWND question = app.WaitForMessageBox();
  ASSERT_NE(question, nullptr);
  EXPECT_EQ(MessageBoxText(question), "変換前後のファイル形式が同じです\n上書きしますか？");
  PressAndSettle(question, IDNO, main);
  EXPECT_EQ(ControlText(main, IDC_QUALITY), "99");
  EXPECT_EQ(ScrollPosition(main, IDC_QUALITY_SCROLL), 99);
  EXPECT_EQ(box->ReadFileText(box->Path("pic.png")), "not really a picture");
  PressButton(main, IDOK);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_EQ(IniValue(box->IniPath(), "Image", "JpegQuality"), "99");
  EXPECT_EQ(IniValue(box->IniPath(), "Image", "Type"), "1");
}

TEST_F(ChoiceDialogs, CancellingTheImageQuestionWritesNothingAndStopsTheBatch) {
  box->WriteIni("[Image]\r\nSelect=1\r\nType=0\r\n");
  box->WriteFileText(box->Path("one.png"), "x");
  box->WriteFileText(box->Path("two.lzh"), "x");
  ASSERT_TRUE(app.Start(*box, box->Path("one.png") + " " + box->Path("two.lzh")));
  HWND ask = app.WaitForWindow("one.png - Quillet");
  ASSERT_NE(ask, nullptr);
  PressButton(ask, IDCANCEL);
  EXPECT_EQ(app.WaitForExit(), 0);
  EXPECT_FALSE(FileExists(box->Path("one.bmp")));
  EXPECT_TRUE(box->ArchiverLog().empty());
}

} // namespace
