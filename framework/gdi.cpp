// Fonts and tooltips.
#include "framework/afxwin.h"

BOOL CFont::CreateFontIndirect(const LOGFONTA* lf) {
  DeleteObject();
  m_hObject = ::CreateFontIndirectA(lf);
  return m_hObject != nullptr;
}

BOOL CFont::DeleteObject() {
  if (m_hObject == nullptr)
    return FALSE;
  BOOL ok = ::DeleteObject(m_hObject);
  m_hObject = nullptr;
  return ok;
}

HFONT CFont::Detach() {
  HFONT font = m_hObject;
  m_hObject = nullptr;
  return font;
}

CToolTipCtrl::~CToolTipCtrl() {
  if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
    HWND h = m_hWnd;
    Detach();
    ::DestroyWindow(h);
  }
}

BOOL CToolTipCtrl::Create(CWnd* pParentWnd) {
  // The tooltip class exists only once the common controls are initialised.
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  HWND h = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, pParentWnd->m_hWnd,
                             nullptr, AfxGetInstanceHandle(), nullptr);
  if (h == nullptr)
    return FALSE;
  Attach(h);
  return TRUE;
}

namespace {
TOOLINFOA MakeToolInfo(CWnd* pWnd, const char* text, UINT_PTR nIDTool) {
  TOOLINFOA ti = {};
  ti.cbSize = TTTOOLINFOA_V1_SIZE;
  ti.uFlags = TTF_SUBCLASS;
  ti.hwnd = pWnd->m_hWnd;
  ti.uId = nIDTool;
  ti.hinst = AfxGetInstanceHandle();
  ti.lpszText = const_cast<char*>(text);
  return ti;
}
} // namespace

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, const char* text, const RECT* rect, UINT_PTR nIDTool) {
  TOOLINFOA ti = MakeToolInfo(pWnd, text, nIDTool);
  ti.uFlags = 0;
  if (rect != nullptr)
    ti.rect = *rect;
  return static_cast<BOOL>(::SendMessageA(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)));
}

void CToolTipCtrl::UpdateTipText(const char* text, CWnd* pWnd, UINT_PTR nIDTool) {
  TOOLINFOA ti = MakeToolInfo(pWnd, text, nIDTool);
  ti.uFlags = 0;
  ::SendMessageA(m_hWnd, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
}

void CToolTipCtrl::RelayEvent(MSG* pMsg) {
  ::SendMessageA(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(pMsg));
}
