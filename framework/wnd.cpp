// CWnd: attaching objects to windows and routing messages through message maps.
#include "framework/afxwin.h"

namespace {

const char kObjectProp[] = "Quillet.CWnd";

// The message being handled, for Default().
struct CurrentMessage {
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
thread_local CurrentMessage g_current = {0, 0, 0};

const AFX_MSGMAP_ENTRY* FindEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id) {
  for (; map != nullptr; map = map->pBaseMap) {
    for (const AFX_MSGMAP_ENTRY* e = map->lpEntries; e->pfn != nullptr; ++e) {
      if (e->nMessage != message)
        continue;
      if (message == WM_COMMAND && (e->nCode != code || e->nID != id))
        continue;
      if (message == WM_REFLECT_BASE + WM_COMMAND && e->nCode != code)
        continue;
      return e;
    }
  }
  return nullptr;
}

} // namespace

const AFX_MSGMAP CWnd::messageMap = {nullptr, &CWnd::_messageEntries[0]};
const AFX_MSGMAP_ENTRY CWnd::_messageEntries[] = {{0, 0, 0, AfxSig_vv, nullptr}};
const AFX_MSGMAP* CWnd::GetMessageMap() const { return &CWnd::messageMap; }

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
  CWnd* wnd = CWnd::FromHandlePermanent(hWnd);
  if (wnd == nullptr)
    return ::DefWindowProcA(hWnd, message, wParam, lParam);
  CurrentMessage saved = g_current;
  g_current = {message, wParam, lParam};
  LRESULT result = wnd->WindowProc(message, wParam, lParam);
  g_current = saved;
  if (message == WM_NCDESTROY) {
    // The window is gone: hand it back to its own procedure and let go of it.
    if (CWnd::FromHandlePermanent(hWnd) == wnd) {
      wnd->Detach();
      wnd->PostNcDestroy();
    }
  }
  return result;
}

CWnd::~CWnd() {
  if (m_hWnd != nullptr && ::IsWindow(m_hWnd)) {
    if (m_pfnSuper != nullptr)
      UnsubclassWindow();
    else
      Detach();
  }
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd) {
  if (hWnd == nullptr)
    return nullptr;
  return static_cast<CWnd*>(::GetPropA(hWnd, kObjectProp));
}

void CWnd::Attach(HWND hWnd) {
  m_hWnd = hWnd;
  ::SetPropA(hWnd, kObjectProp, this);
}

void CWnd::Detach() {
  if (m_hWnd == nullptr)
    return;
  if (m_pfnSuper != nullptr &&
      reinterpret_cast<WNDPROC>(::GetWindowLongPtrA(m_hWnd, GWLP_WNDPROC)) == AfxWndProc)
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
  ::RemovePropA(m_hWnd, kObjectProp);
  m_pfnSuper = nullptr;
  m_hWnd = nullptr;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
  if (hWnd == nullptr || m_hWnd != nullptr || FromHandlePermanent(hWnd) != nullptr)
    return FALSE;
  Attach(hWnd);
  PreSubclassWindow();
  m_pfnSuper = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
  return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
  return SubclassWindow(::GetDlgItem(pParent->m_hWnd, static_cast<int>(nID)));
}

HWND CWnd::UnsubclassWindow() {
  HWND hWnd = m_hWnd;
  Detach();
  return hWnd;
}

BOOL CWnd::PreTranslateMessage(MSG*) { return FALSE; }

LRESULT CWnd::Default() {
  return ::CallWindowProcA(m_pfnSuper, m_hWnd, g_current.message, g_current.wParam,
                           g_current.lParam);
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  LRESULT result = 0;
  if (OnWndMsg(message, wParam, lParam, &result))
    return result;
  return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
  UINT id = LOWORD(wParam);
  UINT code = HIWORD(wParam);
  HWND control = reinterpret_cast<HWND>(lParam);
  if (control != nullptr) {
    CWnd* child = FromHandlePermanent(control);
    LRESULT ignored = 0;
    if (child != nullptr && child->OnChildNotify(WM_COMMAND, wParam, lParam, &ignored))
      return TRUE;
  }
  // Menu items and accelerators carry code 0 or 1; both reach ON_COMMAND entries.
  if (control == nullptr)
    code = 0;
  const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), WM_COMMAND, code, id);
  if (e == nullptr && control != nullptr && code == BN_CLICKED)
    e = FindEntry(GetMessageMap(), WM_COMMAND, 0, id);
  if (e == nullptr)
    return FALSE;
  (this->*e->pfn)();
  return TRUE;
}

// Map entries hold every handler as AFX_PMSG; their signature says how to call them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wcast-function-type"

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  const AFX_MSGMAP_ENTRY* e =
      FindEntry(GetMessageMap(), WM_REFLECT_BASE + message, HIWORD(wParam), 0);
  if (e == nullptr)
    return FALSE;
  if (e->nSig == AfxSig_hbrCtl) {
    auto fn = reinterpret_cast<HBRUSH (CWnd::*)(HDC, UINT)>(e->pfn);
    *pResult = reinterpret_cast<LRESULT>(
        (this->*fn)(reinterpret_cast<HDC>(wParam), message - WM_CTLCOLORMSGBOX));
  } else {
    (this->*e->pfn)();
    *pResult = 0;
  }
  (void)lParam;
  return TRUE;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
  if (message == WM_COMMAND) {
    if (!OnCommand(wParam, lParam))
      return FALSE;
    *pResult = 0;
    return TRUE;
  }
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
    CWnd* child = FromHandlePermanent(reinterpret_cast<HWND>(lParam));
    if (child != nullptr && child != this &&
        child->OnChildNotify(WM_CTLCOLORSTATIC, wParam, lParam, pResult))
      return TRUE;
    return FALSE;
  }
  const AFX_MSGMAP_ENTRY* e = FindEntry(GetMessageMap(), message, 0, 0);
  if (e == nullptr)
    return FALSE;
  *pResult = 0;
  switch (e->nSig) {
  case AfxSig_vv:
    (this->*e->pfn)();
    break;
  case AfxSig_vwl:
    (this->*reinterpret_cast<void (CWnd::*)(WPARAM, LPARAM)>(e->pfn))(wParam, lParam);
    break;
  case AfxSig_lwl:
    *pResult = (this->*reinterpret_cast<LRESULT (CWnd::*)(WPARAM, LPARAM)>(e->pfn))(wParam, lParam);
    break;
  case AfxSig_vHscroll:
    (this->*reinterpret_cast<void (CWnd::*)(UINT, UINT, HWND)>(e->pfn))(
        LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
    break;
  case AfxSig_vSysCmd:
    (this->*reinterpret_cast<void (CWnd::*)(UINT, LPARAM)>(e->pfn))(static_cast<UINT>(wParam),
                                                                    lParam);
    break;
  case AfxSig_vDrop:
    (this->*reinterpret_cast<void (CWnd::*)(HDROP)>(e->pfn))(reinterpret_cast<HDROP>(wParam));
    break;
  case AfxSig_hcurv:
    *pResult = reinterpret_cast<LRESULT>((this->*reinterpret_cast<HCURSOR (CWnd::*)()>(e->pfn))());
    break;
  case AfxSig_bSetCursor:
    *pResult = (this->*reinterpret_cast<BOOL (CWnd::*)(HWND, UINT, UINT)>(e->pfn))(
        reinterpret_cast<HWND>(wParam), LOWORD(lParam), HIWORD(lParam));
    break;
  case AfxSig_vMouse: {
    POINT pt = {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    (this->*reinterpret_cast<void (CWnd::*)(UINT, POINT)>(e->pfn))(static_cast<UINT>(wParam), pt);
    break;
  }
  case AfxSig_hbrCtl:
    return FALSE;
  }
  return TRUE;
}

#pragma GCC diagnostic pop

int CWnd::MessageBox(const char* text, const char* caption, UINT type) {
  return ::MessageBoxA(m_hWnd, text, caption, type);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
  CDataExchange dx(this, bSaveAndValidate);
  DoDataExchange(&dx);
  return !dx.m_bFailed;
}

void CWnd::DoDataExchange(CDataExchange*) {}
