// The main window in this process: what only its own process can see.
#include "app/settings_dlg.h"
#include "res/resource.h"
#include "res/version.h"
#include "tests/support/wait_until.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

namespace {

// Wine's own "About Wine" item: Wine appends it to the system menu of a program whose
// manifest asks for the asInvoker level, after the program's own items. Windows has none.
const UINT kWineAboutCommand = 0xF141;

// Runs dlg modally; inspect is called on another thread once the window shows, and the
// window is then cancelled.
void RunAndInspect(CDialog& dlg, const char* title, const std::function<void(HWND)>& inspect) {
  std::thread watcher([&] {
    HWND hwnd = nullptr;
    // Visible once its initialisation is over.
    testwait::WaitUntil([&] {
      hwnd = ::FindWindowA("#32770", title);
      return hwnd != nullptr && ::IsWindowVisible(hwnd);
    });
    if (hwnd != nullptr && testwait::Responds(hwnd)) {
      inspect(hwnd);
      ::PostMessageA(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    } else {
      ADD_FAILURE() << "no window " << title;
    }
  });
  dlg.DoModal();
  watcher.join();
}

TEST(SettingsDialog, SystemMenuGetsASeparatorAndTheAboutItem) {
  CSettingsDlg dlg;
  dlg.m_bStartupDone = 1; // this process's command line is not Quillet's
  RunAndInspect(dlg, "Quillet ver." QUILLET_VERSION_TEXT, [](HWND hwnd) {
    HMENU menu = ::GetSystemMenu(hwnd, FALSE);
    ASSERT_NE(menu, nullptr);
    int n = ::GetMenuItemCount(menu);
    if (n > 0 && ::GetMenuItemID(menu, n - 1) == kWineAboutCommand)
      --n;
    ASSERT_GE(n, 2);
    char text[128] = {0};
    ::GetMenuStringA(menu, n - 1, text, sizeof text, MF_BYPOSITION);
    EXPECT_STREQ(text, "ﾊﾞｰｼﾞｮﾝ情報(&A)...");
    EXPECT_EQ(::GetMenuItemID(menu, n - 1), static_cast<UINT>(IDM_ABOUTBOX));
    EXPECT_TRUE(::GetMenuState(menu, n - 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_NE(::SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0), 0);
    EXPECT_TRUE(::GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_ACCEPTFILES);
  });
}

} // namespace
