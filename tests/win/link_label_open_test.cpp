// Opening a link's target when the shell cannot: the program registered for web pages,
// started with the address in place of its placeholder; and what a failure says.
#include "about/link_label.h"
#include "about/open_error_text.h"
#include "tests/support/wait_until.h"
#include "tests/win/support/args_record.h"
#include "tests/win/support/htm_registration.h"
#include "tests/win/support/message_box_watch.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace {

// An address no shell handler knows, so only the fallback can open it.
const char kNowhere[] = "quillet-nowhere:page";

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

class LinkLabelOpen : public ::testing::Test {
 protected:
  HtmRegistration htm_;
  CLinkLabel link_;
};

TEST_F(LinkLabelOpen, TheRegisteredCommandRunsWithTheAddressInPlaceOfItsPlaceholder) {
  const std::string program = Quoted(ArgsRecorderPath());
  const std::vector<std::pair<std::string, std::string>> cases = {
      // quoted placeholder: cut at its opening quote
      {program + " \"%1\"", program + "  " + kNowhere},
      // bare placeholder, and what follows it is dropped
      {program + " %1 --after", program + "  " + kNowhere},
      // no placeholder: the address goes at the end
      {program + " --new-window", program + " --new-window " + kNowhere},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    ArgsRecord record("fallback");
    ASSERT_TRUE(htm_.Register(c.first));
    EXPECT_GT(link_.OpenTarget(kNowhere, SW_SHOW), 32);
    EXPECT_EQ(record.Wait(), c.second);
  }
}

TEST_F(LinkLabelOpen, AProgramInAJapaneseFolderStartsUnharmed) {
  // The second byte of 表 is a backslash.
  char temp[MAX_PATH] = {0};
  ::GetTempPathA(sizeof temp, temp);
  const std::string folder = std::string(temp) + "リンク表示";
  const std::string program = folder + "\\browser.exe";
  ::CreateDirectoryA(folder.c_str(), nullptr);
  ASSERT_TRUE(::CopyFileA(ArgsRecorderPath().c_str(), program.c_str(), FALSE));
  {
    ArgsRecord record("japanese");
    ASSERT_TRUE(htm_.Register(Quoted(program) + " \"%1\""));
    EXPECT_GT(link_.OpenTarget(kNowhere, SW_SHOW), 32);
    EXPECT_EQ(record.Wait(), Quoted(program) + "  " + kNowhere);
  }
  // The recorder may still be ending: its file stays locked until it has.
  EXPECT_TRUE(testwait::WaitUntil([&] { return ::DeleteFileA(program.c_str()) != FALSE; }));
  ::RemoveDirectoryA(folder.c_str());
}

TEST_F(LinkLabelOpen, WithoutARegisteredCommandTheShellsOwnErrorComesBack) {
  ASSERT_TRUE(htm_.RegisterWithoutCommand());
  int code = link_.OpenTarget(kNowhere, SW_SHOW);
  EXPECT_GE(code, 0);
  EXPECT_LE(code, 32);
  EXPECT_NE(code, 0); // the shell reported why; no program was tried
}

TEST_F(LinkLabelOpen, ARegisteredProgramThatCannotStartAnswersZero) {
  ASSERT_TRUE(htm_.Register("\"C:\\quillet-no-such-folder\\browser.exe\" \"%1\""));
  EXPECT_EQ(link_.OpenTarget(kNowhere, SW_SHOW), 0);
}

TEST_F(LinkLabelOpen, OverlongCommandsAndAddressesAreRefusedNotRun) {
  const std::string program = Quoted(ArgsRecorderPath());
  ArgsRecord record("overlong");
  // A registered command longer than the 260 bytes read: refused, the shell's error stands.
  ASSERT_TRUE(htm_.Register(program + " " + std::string(300, 'x') + " \"%1\""));
  int code = link_.OpenTarget(kNowhere, SW_SHOW);
  EXPECT_GT(code, 0);
  EXPECT_LE(code, 32);
  // An address that would not fit the command line: the program cannot be started.
  ASSERT_TRUE(htm_.Register(program + " \"%1\""));
  std::string longAddress = std::string(kNowhere) + std::string(600, 'a');
  EXPECT_EQ(link_.OpenTarget(longAddress.c_str(), SW_SHOW), 0);
  EXPECT_EQ(record.Wait(1500), "<nothing recorded>");
}

TEST_F(LinkLabelOpen, RegistryDefaultsAreReadWhole) {
  ASSERT_TRUE(htm_.Register("\"C:\\browser.exe\" \"%1\""));
  char out[64];
  std::memset(out, '#', sizeof out);
  out[sizeof out - 1] = '\0';
  EXPECT_EQ(link_.ReadRegistryDefault(HKEY_CLASSES_ROOT, ".htm", out, sizeof out), 0);
  EXPECT_STREQ(out, "QuilletTest.Browser");
  // The key buffer may be read into in place.
  std::strcat(out, "\\shell\\open\\command");
  EXPECT_EQ(link_.ReadRegistryDefault(HKEY_CLASSES_ROOT, out, out, sizeof out), 0);
  EXPECT_STREQ(out, "\"C:\\browser.exe\" \"%1\"");
  // Too small for the value, or no such key: an error, and out untouched.
  char small[8] = "keep";
  EXPECT_NE(link_.ReadRegistryDefault(HKEY_CLASSES_ROOT, ".htm", small, sizeof small), 0);
  EXPECT_STREQ(small, "keep");
  EXPECT_EQ(
      link_.ReadRegistryDefault(HKEY_CLASSES_ROOT, "QuilletTest.Missing", small, sizeof small),
      ERROR_FILE_NOT_FOUND);
  EXPECT_STREQ(small, "keep");
}

TEST(LinkLabelErrors, EachCodeIsExplainedInTheFrameworksBox) {
  const std::vector<std::pair<int, std::string>> expected = {
      {0, "The operating system is out\nof memory or resources."},
      {2, "The specified file was not found."},
      {3, "The specified path was not found."},
      {5, "The operating system denied\naccess to the specified file."},
      {8, "There was not enough memory to complete the operation."},
      {11, "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."},
      {26, "A sharing violation occurred. "},
      {27, "The filename association is\nincomplete or invalid."},
      {28, "The DDE transaction could not\nbe completed because the request timed out."},
      {29, "The DDE transaction failed."},
      {30, "The DDE transaction could not\nbe completed because other DDE "
           "transactions\nwere being processed."},
      {31, "There is no application associated\nwith the given filename extension."},
      {32, "The specified dynamic-link library was not found."},
      {42, "Unknown Error (42) occurred."},
      {1, "Unknown Error (1) occurred."},
      {-5, "Unknown Error (-5) occurred."},
  };
  CLinkLabel link;
  MessageBoxWatch watch;
  for (const auto& e : expected)
    link.ReportOpenError(e.first);
  std::vector<SeenMessage> seen = watch.Seen();
  ASSERT_EQ(seen.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i].first);
    EXPECT_EQ(seen[i].title, "win_tests");
    EXPECT_EQ(seen[i].text, "Unable to open hyperlink:\n\n" + expected[i].second);
  }
}

TEST(LinkLabelErrors, WithoutAWindowSettersOnlyStore) {
  CLinkLabel link;
  EXPECT_EQ(link.GetNormalColor(), RGB(0, 0, 255));
  EXPECT_EQ(link.GetOpenedColor(), RGB(85, 26, 139));
  EXPECT_EQ(link.GetHotColor(), ::GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_TRUE(link.IsUnderlined());
  EXPECT_TRUE(link.IsFitToText());
  EXPECT_FALSE(link.IsOpened());
  EXPECT_EQ(link.GetHandCursor(), nullptr);

  link.SetColors(RGB(1, 2, 3), RGB(4, 5, 6), 0xFFFFFFFF);
  EXPECT_EQ(link.GetNormalColor(), RGB(1, 2, 3));
  EXPECT_EQ(link.GetOpenedColor(), RGB(4, 5, 6));
  EXPECT_EQ(link.GetHotColor(), ::GetSysColor(COLOR_HIGHLIGHT));
  link.SetColors(RGB(1, 2, 3), RGB(4, 5, 6), RGB(7, 8, 9));
  EXPECT_EQ(link.GetHotColor(), RGB(7, 8, 9));
  link.SetTarget("https://example.invalid/");
  EXPECT_EQ(link.GetTarget(), "https://example.invalid/");
  link.SetOpened(TRUE);
  EXPECT_TRUE(link.IsOpened());
  link.SetUnderlined(FALSE);
  EXPECT_FALSE(link.IsUnderlined());
  link.SetHandCursor(nullptr);
  EXPECT_NE(link.GetHandCursor(), nullptr);
}

} // namespace
