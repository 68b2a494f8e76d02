// The two links of the real About box: their size, font, tooltips, colours, cursor and
// clicks, seen from inside the box's own message loop.
#include "about/open_error_text.h"
#include "res/resource.h"
#include "res/web_addresses.h"
#include "tests/win/support/about_probe.h"
#include "tests/win/support/args_record.h"
#include "tests/win/support/htm_registration.h"
#include "tests/win/support/message_box_watch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kVisited = RGB(85, 26, 139);

std::string TextOf(HWND wnd) {
  char text[512] = {0};
  ::GetWindowTextA(wnd, text, sizeof text);
  return text;
}

LOGFONTA FontOf(HWND wnd) {
  LOGFONTA lf = {};
  HFONT font = reinterpret_cast<HFONT>(::SendMessageA(wnd, WM_GETFONT, 0, 0));
  ::GetObjectA(font, sizeof lf, &lf);
  return lf;
}

// The window text measured with the control's own font.
SIZE TextExtent(HWND wnd) {
  std::string text = TextOf(wnd);
  HDC dc = ::GetDC(wnd);
  HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HFONT>(::SendMessageA(wnd, WM_GETFONT, 0, 0)));
  SIZE extent = {0, 0};
  ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  ::SelectObject(dc, old);
  ::ReleaseDC(wnd, dc);
  return extent;
}

RECT RectInParent(HWND wnd) {
  RECT rect;
  ::GetWindowRect(wnd, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(wnd), reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

struct Painted {
  COLORREF text;
  int bkMode;
  HBRUSH brush;
};

// What the dialog tells a drawing control, as the control's own paint asks it.
Painted AsPainted(HWND dialog, HWND control) {
  HDC dc = ::CreateCompatibleDC(nullptr);
  ::SetTextColor(dc, RGB(1, 2, 3));
  ::SetBkMode(dc, OPAQUE);
  LRESULT brush = ::SendMessageA(dialog, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                                 reinterpret_cast<LPARAM>(control));
  Painted painted = {::GetTextColor(dc), ::GetBkMode(dc), reinterpret_cast<HBRUSH>(brush)};
  ::DeleteDC(dc);
  return painted;
}

// The tooltip that carries tool 1 of control, and that tool's text.
bool ToolTipOf(HWND control, HWND* tip, std::string* text) {
  struct Search {
    HWND control;
    HWND tip;
    std::string text;
  } search = {control, nullptr, ""};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND wnd, LPARAM lParam) -> BOOL {
        Search* s = reinterpret_cast<Search*>(lParam);
        char cls[64] = {0};
        ::GetClassNameA(wnd, cls, sizeof cls);
        if (std::string(cls) != TOOLTIPS_CLASSA)
          return TRUE;
        char buffer[1024] = {0};
        TOOLINFOA ti = {};
        ti.cbSize = TTTOOLINFOA_V1_SIZE;
        ti.hwnd = s->control;
        ti.uId = 1;
        ti.lpszText = buffer;
        ::SendMessageA(wnd, TTM_GETTEXTA, sizeof buffer, reinterpret_cast<LPARAM>(&ti));
        if (buffer[0] == '\0')
          return TRUE;
        s->tip = wnd;
        s->text = buffer;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  *tip = search.tip;
  *text = search.text;
  return search.tip != nullptr;
}

void MouseMove(HWND wnd, int x, int y) { ::SendMessageA(wnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y)); }

void Click(HWND wnd) {
  ::SendMessageA(wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
  ::SendMessageA(wnd, WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

TEST(LinkLabelInAboutBox, EachLinkIsExactlyAsLargeAsItsUnderlinedText) {
  ProbeAboutBox([](AboutBoxUnderTest& box) {
    LOGFONTA dialogFont = FontOf(box.m_hWnd);
    RECT dialogClient;
    ::GetClientRect(box.m_hWnd, &dialogClient);
    for (int id : {IDC_LINK_HOMEPAGE, IDC_LINK_MAIL}) {
      SCOPED_TRACE(id);
      HWND link = ::GetDlgItem(box.m_hWnd, id);
      ASSERT_NE(link, nullptr);
      RECT client;
      ::GetClientRect(link, &client);
      SIZE extent = TextExtent(link);
      EXPECT_GT(extent.cx, 0);
      EXPECT_EQ(client.right, extent.cx);
      EXPECT_EQ(client.bottom, extent.cy);
      // Nothing of the text is cut off by the box's edge.
      RECT inParent = RectInParent(link);
      EXPECT_LE(inParent.right, dialogClient.right);

      LOGFONTA lf = FontOf(link);
      EXPECT_TRUE(lf.lfUnderline);
      EXPECT_EQ(lf.lfHeight, dialogFont.lfHeight);
      EXPECT_STREQ(lf.lfFaceName, dialogFont.lfFaceName);
      EXPECT_FALSE(dialogFont.lfUnderline);
      EXPECT_TRUE(::GetWindowLongA(link, GWL_STYLE) & SS_NOTIFY);
    }
    // The template's texts stay on show; only the targets differ.
    EXPECT_EQ(TextOf(box.HomePage()), QUILLET_HOMEPAGE);
    EXPECT_EQ(TextOf(box.Mail()), QUILLET_MAIL_TEXT);
    // Left-aligned links keep their template's top-left corner.
    RECT home = RectInParent(box.HomePage());
    RECT templateRect = {9, 66, 9, 66};
    ::MapDialogRect(box.m_hWnd, &templateRect);
    EXPECT_EQ(home.left, templateRect.left);
    EXPECT_EQ(home.top, templateRect.top);
  });
}

TEST(LinkLabelInAboutBox, TooltipsShowTheTargetsNotTheTexts) {
  ProbeAboutBox([](AboutBoxUnderTest& box) {
    HWND tip = nullptr;
    std::string text;
    ASSERT_TRUE(ToolTipOf(box.HomePage(), &tip, &text));
    EXPECT_EQ(text, QUILLET_HOMEPAGE_INDEX);
    EXPECT_EQ(::SendMessageA(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
    // The tool covers the whole fitted link.
    TOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V1_SIZE;
    ti.hwnd = box.HomePage();
    ti.uId = 1;
    ASSERT_TRUE(::SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&ti)));
    RECT client;
    ::GetClientRect(box.HomePage(), &client);
    EXPECT_TRUE(::EqualRect(&ti.rect, &client));

    HWND mailTip = nullptr;
    ASSERT_TRUE(ToolTipOf(box.Mail(), &mailTip, &text));
    EXPECT_EQ(text, "mailto:" QUILLET_MAIL_ADDRESS);
    EXPECT_NE(mailTip, tip);
    EXPECT_EQ(box.HomePage().GetTarget(), QUILLET_HOMEPAGE_INDEX);
    EXPECT_EQ(box.Mail().GetTarget(), "mailto:" QUILLET_MAIL_ADDRESS);
  });
}

TEST(LinkLabelInAboutBox, ColourIsBlueThenHighlightWhileHotThenBlueAgain) {
  ProbeAboutBox([](AboutBoxUnderTest& box) {
    HWND link = box.Mail();
    Painted before = AsPainted(box.m_hWnd, link);
    EXPECT_EQ(before.text, kBlue);
    EXPECT_EQ(before.bkMode, TRANSPARENT);
    EXPECT_EQ(before.brush, static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH)));
    // Other statics keep the dialog's own colours.
    HWND version = ::GetWindow(::GetDlgItem(box.m_hWnd, IDC_LINK_HOMEPAGE), GW_HWNDPREV);
    EXPECT_NE(AsPainted(box.m_hWnd, version).text, kBlue);

    MouseMove(link, 3, 3);
    EXPECT_EQ(AsPainted(box.m_hWnd, link).text, ::GetSysColor(COLOR_HIGHLIGHT));
    EXPECT_EQ(::GetCapture(), link);
    MouseMove(link, 4, 2); // still inside: nothing changes
    EXPECT_EQ(::GetCapture(), link);
    RECT client;
    ::GetClientRect(link, &client);
    MouseMove(link, client.right + 3, 2);
    EXPECT_EQ(AsPainted(box.m_hWnd, link).text, kBlue);
    EXPECT_EQ(::GetCapture(), nullptr);
    // The other link never took part.
    EXPECT_EQ(AsPainted(box.m_hWnd, box.HomePage()).text, kBlue);
  });
}

TEST(LinkLabelInAboutBox, ASuccessfulClickRunsTheTargetAndTurnsTheLinkVisitedColour) {
  ArgsRecord record("click");
  ProbeAboutBox([&](AboutBoxUnderTest& box) {
    box.HomePage().SetTarget(ArgsRecorderPath().c_str());
    Click(box.HomePage());
    EXPECT_TRUE(box.HomePage().IsOpened());
    EXPECT_EQ(AsPainted(box.m_hWnd, box.HomePage()).text, kVisited);
    EXPECT_EQ(AsPainted(box.m_hWnd, box.Mail()).text, kBlue);
    // Over the link again it shows hot; once the pointer leaves, visited.
    MouseMove(box.HomePage(), 1, 1);
    EXPECT_EQ(AsPainted(box.m_hWnd, box.HomePage()).text, ::GetSysColor(COLOR_HIGHLIGHT));
    MouseMove(box.HomePage(), -4, -4);
    EXPECT_EQ(AsPainted(box.m_hWnd, box.HomePage()).text, kVisited);
  });
  EXPECT_NE(record.Wait().find("args_recorder.exe"), std::string::npos);
}

TEST(LinkLabelInAboutBox, AFailedClickBeepsExplainsAndLeavesTheLinkUsable) {
  HtmRegistration htm;
  ASSERT_TRUE(htm.RegisterWithoutCommand());
  MessageBoxWatch watch;
  int code = -1;
  ProbeAboutBox([&](AboutBoxUnderTest& box) {
    const char* nowhere = "quillet-nowhere:page";
    code = box.Mail().OpenTarget(nowhere, SW_SHOW);
    ASSERT_LE(code, 32);
    box.Mail().SetOpened(TRUE);
    box.Mail().SetTarget(nowhere);
    // Hot when clicked: the box that explains takes the mouse from the link.
    MouseMove(box.Mail(), 2, 2);
    Click(box.Mail());
    EXPECT_FALSE(box.Mail().IsOpened());
    EXPECT_EQ(AsPainted(box.m_hWnd, box.Mail()).text, kBlue);
    EXPECT_EQ(::GetCapture(), nullptr);
    // Still a link: hovering works as before.
    MouseMove(box.Mail(), 2, 2);
    EXPECT_EQ(AsPainted(box.m_hWnd, box.Mail()).text, ::GetSysColor(COLOR_HIGHLIGHT));
    MouseMove(box.Mail(), -2, -2);
  });
  std::vector<SeenMessage> seen = watch.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].title, "win_tests");
  EXPECT_EQ(seen[0].text, OpenErrorText(code));
  EXPECT_EQ(seen[0].text.rfind("Unable to open hyperlink:\n\n", 0), 0u);
}

TEST(LinkLabelInAboutBox, LosingTheMouseToAnotherWindowEndsTheHover) {
  ProbeAboutBox([](AboutBoxUnderTest& box) {
    MouseMove(box.HomePage(), 2, 2);
    ASSERT_EQ(::GetCapture(), static_cast<HWND>(box.HomePage()));
    ::SetCapture(box.m_hWnd);
    EXPECT_EQ(AsPainted(box.m_hWnd, box.HomePage()).text, kBlue);
    ::ReleaseCapture();
    // The next visit is hot again.
    MouseMove(box.HomePage(), 2, 2);
    EXPECT_EQ(AsPainted(box.m_hWnd, box.HomePage()).text, ::GetSysColor(COLOR_HIGHLIGHT));
    MouseMove(box.HomePage(), -2, -2);
  });
}

TEST(LinkLabelInAboutBox, TheCursorOverALinkIsTheHand) {
  ProbeAboutBox([](AboutBoxUnderTest& box) {
    HCURSOR hand = box.HomePage().GetHandCursor();
    ASSERT_NE(hand, nullptr);
    LRESULT answer = ::SendMessageA(box.HomePage(), WM_SETCURSOR,
                                    reinterpret_cast<WPARAM>(box.HomePage().m_hWnd),
                                    MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(answer, TRUE);
    EXPECT_EQ(::GetCursor(), hand);

    // A cursor handed in is copied; the link's earlier copy is destroyed.
    HCURSOR arrow = ::LoadCursorA(nullptr, IDC_ARROW);
    box.HomePage().SetHandCursor(arrow);
    HCURSOR copy = box.HomePage().GetHandCursor();
    EXPECT_NE(copy, nullptr);
    EXPECT_NE(copy, arrow);
    ICONINFO info = {};
    EXPECT_FALSE(::GetIconInfo(hand, &info));
    // None goes back to the hand.
    box.HomePage().SetHandCursor(nullptr);
    EXPECT_NE(box.HomePage().GetHandCursor(), nullptr);
    EXPECT_FALSE(::GetIconInfo(copy, &info));
  });
}

TEST(LinkLabelInAboutBox, FittingFollowsTheAlignmentStyles) {
  ProbeAboutBox([](AboutBoxUnderTest& box) {
    CLinkLabel& link = box.HomePage();
    SIZE extent = TextExtent(link);
    LONG style = ::GetWindowLongA(link, GWL_STYLE);
    auto place = [&](LONG extra) {
      ::SetWindowLongA(link, GWL_STYLE, (style & ~SS_TYPEMASK) | extra);
      ::SetWindowPos(link, nullptr, 10, 20, 301, 41, SWP_NOZORDER);
      link.FitToText();
      return RectInParent(link);
    };
    RECT r = place(SS_RIGHT);
    EXPECT_EQ(r.right, 311);
    EXPECT_EQ(r.left, 311 - extent.cx);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.bottom, 20 + extent.cy);

    r = place(SS_CENTER | SS_CENTERIMAGE);
    LONG insetX = (301 - extent.cx) / 2;
    LONG insetY = (41 - extent.cy) / 2;
    EXPECT_EQ(r.left, 10 + insetX);
    EXPECT_EQ(r.right, 311 - insetX);
    EXPECT_EQ(r.top, 20 + insetY);
    EXPECT_EQ(r.bottom, 61 - insetY);

    // SS_SIMPLE shares SS_CENTER's bit but is left-aligned text.
    r = place(SS_SIMPLE);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right, 10 + extent.cx);

    link.SetFitToText(FALSE);
    r = place(SS_LEFT);
    EXPECT_EQ(r.right - r.left, 301);
    EXPECT_FALSE(link.IsFitToText());
    link.SetFitToText(TRUE);
    r = RectInParent(link);
    EXPECT_EQ(r.right - r.left, extent.cx);
  });
}

TEST(LinkLabelInAboutBox, UnderlineCanBeTakenOffAndTheOldFontGoes) {
  ProbeAboutBox([](AboutBoxUnderTest& box) {
    CLinkLabel& link = box.Mail();
    HFONT underlined = reinterpret_cast<HFONT>(::SendMessageA(link, WM_GETFONT, 0, 0));
    LOGFONTA before = FontOf(link);
    link.SetUnderlined(FALSE);
    EXPECT_FALSE(link.IsUnderlined());
    LOGFONTA after = FontOf(link);
    EXPECT_FALSE(after.lfUnderline);
    EXPECT_EQ(after.lfHeight, before.lfHeight);
    EXPECT_STREQ(after.lfFaceName, before.lfFaceName);
    EXPECT_EQ(::GetObjectType(underlined), 0u);
    link.SetUnderlined(TRUE);
    EXPECT_TRUE(FontOf(link).lfUnderline);
  });
}

TEST(LinkLabelInAboutBox, ClosingTheBoxReleasesFontsCursorsAndTooltips) {
  std::vector<HFONT> fonts;
  std::vector<HCURSOR> cursors;
  std::vector<HWND> tips;
  ProbeAboutBox([&](AboutBoxUnderTest& box) {
    for (CLinkLabel* link : {&box.HomePage(), &box.Mail()}) {
      fonts.push_back(reinterpret_cast<HFONT>(::SendMessageA(*link, WM_GETFONT, 0, 0)));
      cursors.push_back(link->GetHandCursor());
      HWND tip = nullptr;
      std::string text;
      ToolTipOf(*link, &tip, &text);
      tips.push_back(tip);
    }
  });
  ASSERT_EQ(fonts.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_EQ(::GetObjectType(fonts[i]), 0u);
    ICONINFO info = {};
    EXPECT_FALSE(::GetIconInfo(cursors[i], &info));
    EXPECT_FALSE(::IsWindow(tips[i]));
  }
}

} // namespace
