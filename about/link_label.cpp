// The link's set-up, look, hover state and size.
#include "about/link_label.h"

#include <vector>

namespace {

const COLORREF kHotFromSystem = 0xFFFFFFFF;
const UINT_PTR kTipTool = 1;

std::string WindowTextOf(HWND wnd) {
  int length = ::GetWindowTextLengthA(wnd);
  std::vector<char> text(static_cast<size_t>(length) + 1, '\0');
  ::GetWindowTextA(wnd, text.data(), length + 1);
  return text.data();
}

} // namespace

BEGIN_MESSAGE_MAP(CLinkLabel, CStatic)
ON_CONTROL_REFLECT(STN_CLICKED, &CLinkLabel::OnClicked)
ON_WM_CTLCOLOR_REFLECT()
ON_WM_SETCURSOR()
ON_WM_MOUSEMOVE()
ON_MESSAGE(WM_CAPTURECHANGED, &CLinkLabel::OnCaptureChanged)
END_MESSAGE_MAP()

CLinkLabel::CLinkLabel()
    : m_crNormal(RGB(0, 0, 255)), m_crOpened(RGB(85, 26, 139)),
      m_crHot(::GetSysColor(COLOR_HIGHLIGHT)), m_bHot(FALSE), m_bOpened(FALSE), m_bUnderlined(TRUE),
      m_bFitToText(TRUE), m_hHandCursor(nullptr) {}

CLinkLabel::~CLinkLabel() {
  // The control must not keep drawing with the font about to be deleted.
  if (m_hWnd != nullptr && ::IsWindow(m_hWnd) && m_fontLink.m_hObject != nullptr)
    ::SendMessageA(m_hWnd, WM_SETFONT, 0, FALSE);
  m_fontLink.DeleteObject();
  ReleaseHandCursor();
}

void CLinkLabel::PreSubclassWindow() {
  ModifyStyle(0, SS_NOTIFY);
  std::string text = WindowTextOf(m_hWnd);
  if (m_strTarget.empty())
    m_strTarget = text;
  if (text.empty())
    ::SetWindowTextA(m_hWnd, m_strTarget.c_str());

  ApplyUnderline();
  FitToText();
  LoadHandCursor();

  if (m_tipTarget.Create(this)) {
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    m_tipTarget.AddTool(this, m_strTarget.c_str(), &client, kTipTool);
  }
  CStatic::PreSubclassWindow();
}

BOOL CLinkLabel::PreTranslateMessage(MSG* pMsg) {
  if (m_tipTarget.m_hWnd != nullptr)
    m_tipTarget.RelayEvent(pMsg);
  return CStatic::PreTranslateMessage(pMsg);
}

// Rebuilds the link's font from the control's current one with the underline flag.
void CLinkLabel::ApplyUnderline() {
  HFONT current = reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
  if (current == nullptr)
    current = static_cast<HFONT>(::GetStockObject(SYSTEM_FONT));
  LOGFONTA lf = {};
  if (::GetObjectA(current, sizeof lf, &lf) == 0)
    return;
  lf.lfUnderline = m_bUnderlined ? TRUE : FALSE;
  // The current font may be the old link font: it goes only once the new one is in place.
  HFONT old = m_fontLink.Detach();
  if (m_fontLink.CreateFontIndirect(&lf)) {
    ::SendMessageA(m_hWnd, WM_SETFONT, reinterpret_cast<WPARAM>(m_fontLink.m_hObject), TRUE);
    if (old != nullptr)
      ::DeleteObject(old);
  } else {
    m_fontLink.m_hObject = old;
  }
}

void CLinkLabel::RedrawNow() {
  ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void CLinkLabel::SetTarget(const char* text) {
  m_strTarget = text;
  if (m_hWnd == nullptr)
    return;
  FitToText();
  if (m_tipTarget.m_hWnd != nullptr)
    m_tipTarget.UpdateTipText(text, this, kTipTool);
}

std::string CLinkLabel::GetTarget() const { return m_strTarget; }

void CLinkLabel::SetColors(COLORREF normal, COLORREF opened, COLORREF hot) {
  m_crNormal = normal;
  m_crOpened = opened;
  m_crHot = hot == kHotFromSystem ? ::GetSysColor(COLOR_HIGHLIGHT) : hot;
  if (m_hWnd != nullptr)
    Invalidate(TRUE);
}

COLORREF CLinkLabel::GetNormalColor() const { return m_crNormal; }
COLORREF CLinkLabel::GetOpenedColor() const { return m_crOpened; }
COLORREF CLinkLabel::GetHotColor() const { return m_crHot; }

void CLinkLabel::SetOpened(BOOL opened) {
  m_bOpened = opened;
  if (m_hWnd != nullptr)
    Invalidate(TRUE);
}

BOOL CLinkLabel::IsOpened() const { return m_bOpened; }

void CLinkLabel::SetUnderlined(BOOL underlined) {
  m_bUnderlined = underlined;
  if (m_hWnd == nullptr)
    return;
  ApplyUnderline();
  Invalidate(TRUE);
}

BOOL CLinkLabel::IsUnderlined() const { return m_bUnderlined; }

void CLinkLabel::SetFitToText(BOOL fit) {
  m_bFitToText = fit;
  if (m_hWnd != nullptr)
    FitToText();
}

BOOL CLinkLabel::IsFitToText() const { return m_bFitToText; }

void CLinkLabel::FitToText() {
  if (m_hWnd == nullptr || !m_bFitToText)
    return;
  RECT rect;
  ::GetWindowRect(m_hWnd, &rect);
  ::MapWindowPoints(nullptr, ::GetParent(m_hWnd), reinterpret_cast<POINT*>(&rect), 2);

  std::string text = WindowTextOf(m_hWnd);
  SIZE extent = {0, 0};
  HDC dc = ::GetDC(m_hWnd);
  if (dc == nullptr)
    return;
  HGDIOBJ oldFont = m_fontLink.m_hObject != nullptr ? ::SelectObject(dc, m_fontLink) : nullptr;
  BOOL measured = ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);
  if (oldFont != nullptr)
    ::SelectObject(dc, oldFont);
  ::ReleaseDC(m_hWnd, dc);
  if (!measured)
    return;

  const DWORD style = GetStyle();
  if (style & SS_CENTERIMAGE) {
    LONG inset = (rect.bottom - rect.top - extent.cy) / 2;
    rect.top += inset;
    rect.bottom -= inset;
  } else {
    rect.bottom = rect.top + extent.cy;
  }
  // The alignment is a value, not a set of bits: SS_CENTER and SS_RIGHT are 1 and 2.
  const DWORD align = style & SS_TYPEMASK;
  if (align == SS_CENTER) {
    LONG inset = (rect.right - rect.left - extent.cx) / 2;
    rect.left += inset;
    rect.right -= inset;
  } else if (align == SS_RIGHT) {
    rect.left = rect.right - extent.cx;
  } else {
    rect.right = rect.left + extent.cx;
  }
  ::SetWindowPos(m_hWnd, nullptr, rect.left, rect.top, rect.right - rect.left,
                 rect.bottom - rect.top, SWP_NOZORDER);
}

HBRUSH CLinkLabel::CtlColor(HDC dc, UINT) {
  COLORREF color = m_bHot ? m_crHot : m_bOpened ? m_crOpened : m_crNormal;
  ::SetTextColor(dc, color);
  ::SetBkMode(dc, TRANSPARENT);
  return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

void CLinkLabel::OnMouseMove(UINT, POINT point) {
  Default();
  if (!m_bHot) {
    m_bHot = TRUE;
    RedrawNow();
    ::SetCapture(m_hWnd);
    return;
  }
  RECT client;
  ::GetClientRect(m_hWnd, &client);
  if (!::PtInRect(&client, point)) {
    m_bHot = FALSE;
    ::ReleaseCapture();
    RedrawNow();
  }
}

// Losing the capture to anything else (a message box disabling the dialog, another
// window) would leave the link hot for good, as no move outside would reach it.
LRESULT CLinkLabel::OnCaptureChanged(WPARAM, LPARAM lParam) {
  if (m_bHot && reinterpret_cast<HWND>(lParam) != m_hWnd) {
    m_bHot = FALSE;
    RedrawNow();
  }
  return Default();
}
