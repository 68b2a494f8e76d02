// The About box of the real Quillet.exe as a person sees it: its texts, its two blue
// underlined links, the hover colour under the pointer. Screenshots are kept in the
// build folder (screenshots\about-box*.bmp) for people to look at.
#include "res/resource.h"
#include "res/version.h"
#include "res/web_addresses.h"
#include "tests/e2e/driver/screen_capture.h"
#include "tests/e2e/driver/ui_driver.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

namespace {

const COLORREF kBlue = RGB(0, 0, 255);

std::string ScreenshotPath(const char* name) {
  const char* bin = std::getenv("QUILLET_TEST_BIN");
  std::string dir = std::string(bin != nullptr ? bin : ".") + "\\screenshots";
  ::CreateDirectoryA(dir.c_str(), nullptr);
  return dir + "\\" + name;
}

RECT ScreenRect(HWND wnd) {
  RECT rect;
  ::GetWindowRect(wnd, &rect);
  return rect;
}

// The longest run, over the rows of the link, of pixels of exactly color: an underline
// drawn in that colour spans the whole link.
int LongestRowOf(const ScreenCapture& shot, const RECT& window, HWND link, COLORREF color) {
  RECT r = ScreenRect(link);
  int best = 0;
  for (int y = r.top - window.top; y < r.bottom - window.top; ++y) {
    int n = shot.CountInRow(y, r.left - window.left, r.right - window.left, color);
    if (n > best)
      best = n;
  }
  return best;
}

// Waits until the link's underline shows in color, taking a screenshot each time. With
// hover set, the pointer rests on the link and is nudged by a pixel now and then, as a
// hand would, so that a move lost while another window was in front is made again.
bool WaitForUnderline(HWND about, HWND link, COLORREF color, const char* shotName,
                      bool hover = false) {
  RECT window = ScreenRect(about);
  RECT area = ScreenRect(link);
  int width = area.right - area.left;
  int look = 0;
  std::unique_ptr<ScreenCapture> shot;
  const bool shown = testwait::WaitUntil(
      [&] {
        if (hover && look % 5 == 0)
          ::SetCursorPos((area.left + area.right) / 2 + (look / 5) % 2,
                         (area.top + area.bottom) / 2);
        ++look;
        shot.reset(new ScreenCapture(window));
        return shot->Ok() && LongestRowOf(*shot, window, link, color) >= width - 1;
      },
      4000, 100);
  shot->SaveBmp(ScreenshotPath(shotName));
  return shown;
}

// Moves the pointer from the middle of from to (x, y) in small steps, as a hand would. The
// hot link holds the capture, but a move over another program's window (the desktop) never
// reaches it; the steps across the dialog on the way out do.
void SlidePointer(const RECT& from, int x, int y) {
  int x0 = (from.left + from.right) / 2;
  int y0 = (from.top + from.bottom) / 2;
  const int steps = 12;
  for (int i = 1; i <= steps; ++i) {
    ::SetCursorPos(x0 + (x - x0) * i / steps, y0 + (y - y0) * i / steps);
    ::Sleep(20); // a hand's pace between moves, not a wait for anything
  }
}

// A visible tooltip of the process, within a few seconds, while the pointer rests on link.
// A slight move each second, as a resting hand makes, starts the tooltip's delay again
// should a move have been lost.
HWND WaitForTooltip(DWORD pid, HWND link) {
  const RECT area = ScreenRect(link);
  struct Search {
    DWORD pid;
    HWND found;
  } search = {pid, nullptr};
  int look = 0;
  testwait::WaitUntil(
      [&] {
        if (look % 10 == 9)
          ::SetCursorPos((area.left + area.right) / 2 + (look / 10) % 2,
                         (area.top + area.bottom) / 2);
        ++look;
        ::EnumWindows(
            [](HWND wnd, LPARAM lParam) -> BOOL {
              Search* s = reinterpret_cast<Search*>(lParam);
              DWORD owner = 0;
              ::GetWindowThreadProcessId(wnd, &owner);
              if (owner != s->pid || !::IsWindowVisible(wnd) ||
                  ClassName(wnd) != "tooltips_class32")
                return TRUE;
              s->found = wnd;
              return FALSE;
            },
            reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      5000, 100);
  return search.found;
}

TEST(AboutBoxOnScreen, ShowsTheTemplateTextsAndTwoBlueUnderlinedLinksThatLightUpUnderThePointer) {
  QuilletSandbox box("about-screen", false);
  QuilletProcess app;
  ASSERT_TRUE(app.Start(box));
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr) << app.DescribeScreen();
  ::PostMessageA(main, WM_COMMAND, MAKEWPARAM(ID_ABOUT, 0), 0);
  HWND about = app.WaitForWindow("\xCA\xDE\xB0\xBC\xDE\xAE\xDD\x8F\xEE\x95\xF1", 10000);
  ASSERT_NE(about, nullptr) << app.DescribeScreen();

  HWND home = ::GetDlgItem(about, IDC_LINK_HOMEPAGE);
  HWND mail = ::GetDlgItem(about, IDC_LINK_MAIL);
  EXPECT_EQ(WindowText(home), QUILLET_HOMEPAGE);
  EXPECT_EQ(WindowText(mail), QUILLET_MAIL_TEXT);
  EXPECT_NE(app.DescribeScreen().find("Quillet version " QUILLET_VERSION_TEXT), std::string::npos);
  EXPECT_NE(app.DescribeScreen().find(QUILLET_NOTICE), std::string::npos);
  for (HWND link : {home, mail})
    EXPECT_TRUE(::GetWindowLongA(link, GWL_STYLE) & SS_NOTIFY);

  // Keep the pointer off the links while they are looked at.
  RECT window = ScreenRect(about);
  ::SetCursorPos(window.right + 40, window.bottom + 40);
  EXPECT_TRUE(WaitForUnderline(about, home, kBlue, "about-box.bmp"));
  EXPECT_TRUE(WaitForUnderline(about, mail, kBlue, "about-box.bmp"));

  ::SetForegroundWindow(about);
  EXPECT_TRUE(
      WaitForUnderline(about, mail, ::GetSysColor(COLOR_HIGHLIGHT), "about-box-hot.bmp", true));
  // Resting there brings up the tooltip with the link's target.
  HWND tip = WaitForTooltip(app.Pid(), mail);
  ASSERT_NE(tip, nullptr) << app.DescribeScreen();
  EXPECT_EQ(WindowText(tip), "mailto:" QUILLET_MAIL_ADDRESS);
  RECT both;
  RECT tipRect = ScreenRect(tip);
  ::UnionRect(&both, &window, &tipRect);
  ScreenCapture(both).SaveBmp(ScreenshotPath("about-box-tooltip.bmp"));

  SlidePointer(ScreenRect(mail), window.right + 40, window.bottom + 40);
  EXPECT_TRUE(WaitForUnderline(about, mail, kBlue, "about-box-left.bmp"));

  PressButton(about, IDOK);
  PressButton(main, IDCANCEL);
  EXPECT_EQ(app.WaitForExit(), 0);
}

} // namespace
