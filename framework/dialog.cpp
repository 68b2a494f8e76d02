// CDialog: a modal dialog created from a resource template, run by its own loop so
// that every message first passes the PreTranslateMessage of its window and parents.
#include "framework/afxwin.h"

namespace {

// The template's initial list data (resource type 240): per entry the control ID, the
// message (CB_ADDSTRING or LB_ADDSTRING), the byte count and the text; a zero ID ends it.
void ExecuteDlgInit(HWND hWnd, UINT nIDTemplate) {
  HINSTANCE instance = AfxGetInstanceHandle();
  HRSRC found = ::FindResourceA(instance, MAKEINTRESOURCEA(nIDTemplate), MAKEINTRESOURCEA(240));
  if (found == nullptr)
    return;
  const BYTE* data = static_cast<const BYTE*>(::LockResource(::LoadResource(instance, found)));
  DWORD size = ::SizeofResource(instance, found);
  if (data == nullptr)
    return;
  DWORD at = 0;
  while (at + 2 <= size) {
    WORD id = *reinterpret_cast<const WORD*>(data + at);
    if (id == 0 || at + 8 > size)
      break;
    WORD msg = *reinterpret_cast<const WORD*>(data + at + 2);
    DWORD len = *reinterpret_cast<const DWORD*>(data + at + 4);
    at += 8;
    if (len > size - at)
      break;
    if (msg == CB_ADDSTRING || msg == LB_ADDSTRING)
      ::SendDlgItemMessageA(hWnd, id, msg, 0, reinterpret_cast<LPARAM>(data + at));
    at += len;
  }
}

} // namespace

INT_PTR CALLBACK AfxDlgProc(HWND hWnd, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG)
    return FALSE;
  // From here on every message passes AfxWndProc; the template's own procedure stays
  // behind it as the default handling.
  CDialog* dlg = reinterpret_cast<CDialog*>(lParam);
  dlg->Attach(hWnd);
  dlg->m_pfnSuper = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrA(hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AfxWndProc)));
  ExecuteDlgInit(hWnd, dlg->m_nIDTemplate);
  return dlg->OnInitDialog();
}

const AFX_MSGMAP CDialog::messageMap = {&CWnd::messageMap, &CDialog::_messageEntries[0]};
const AFX_MSGMAP_ENTRY CDialog::_messageEntries[] = {{0, 0, 0, AfxSig_vv, nullptr}};
const AFX_MSGMAP* CDialog::GetMessageMap() const { return &CDialog::messageMap; }

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

BOOL CDialog::OnInitDialog() {
  UpdateData(FALSE);
  return TRUE;
}

void CDialog::OnOK() {
  if (!UpdateData(TRUE))
    return;
  EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

void CDialog::EndDialog(int nResult) {
  m_nModalResult = nResult;
  m_bEndModal = TRUE;
  if (m_hWnd != nullptr)
    ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (CWnd::OnCommand(wParam, lParam))
    return TRUE;
  UINT code = HIWORD(wParam);
  if (lParam != 0 && code != BN_CLICKED)
    return FALSE;
  switch (LOWORD(wParam)) {
  case IDOK:
    OnOK();
    return TRUE;
  case IDCANCEL:
    OnCancel();
    return TRUE;
  }
  return FALSE;
}

namespace {

// Offers a message to the PreTranslateMessage of its window and of each parent up to the dialog.
BOOL PreTranslateChain(HWND dialog, MSG* msg) {
  for (HWND h = msg->hwnd; h != nullptr; h = ::GetParent(h)) {
    CWnd* wnd = CWnd::FromHandlePermanent(h);
    if (wnd != nullptr && wnd->PreTranslateMessage(msg))
      return TRUE;
    if (h == dialog)
      break;
  }
  return FALSE;
}

} // namespace

INT_PTR CDialog::DoModal() {
  HWND parent = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
  if (parent == nullptr) {
    CWinApp* app = AfxGetApp();
    if (app != nullptr && app->m_pMainWnd != nullptr && app->m_pMainWnd != this)
      parent = app->m_pMainWnd->m_hWnd;
  }
  BOOL parentWasEnabled = parent != nullptr && ::IsWindowEnabled(parent);
  m_bEndModal = FALSE;
  m_nModalResult = -1;
  HWND hWnd = ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), parent,
                                   AfxDlgProc, reinterpret_cast<LPARAM>(this));
  if (hWnd == nullptr)
    return -1;
  if (parentWasEnabled)
    ::EnableWindow(parent, FALSE);
  if (!m_bEndModal)
    ::ShowWindow(hWnd, SW_SHOWNORMAL);

  MSG msg;
  // A window destroyed behind our back ends the loop too, rather than leaving it waiting.
  while (!m_bEndModal && ::IsWindow(hWnd)) {
    if (parent != nullptr && !::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE))
      ::SendMessageA(parent, WM_ENTERIDLE, MSGF_DIALOGBOX, reinterpret_cast<LPARAM>(hWnd));
    BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
    if (got == 0) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (got < 0)
      break;
    if (PreTranslateChain(hWnd, &msg))
      continue;
    if (::IsDialogMessageA(hWnd, &msg))
      continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }

  if (parentWasEnabled) {
    ::EnableWindow(parent, TRUE);
    ::SetActiveWindow(parent);
  }
  if (::IsWindow(hWnd))
    ::DestroyWindow(hWnd);
  return m_nModalResult;
}

BOOL CDialog::Create(CWnd* pParentWnd) {
  if (m_hWnd != nullptr)
    return FALSE;
  m_pParentWnd = pParentWnd;
  m_bEndModal = FALSE;
  HWND parent = pParentWnd != nullptr ? pParentWnd->m_hWnd : nullptr;
  return ::CreateDialogParamA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), parent,
                              AfxDlgProc, reinterpret_cast<LPARAM>(this)) != nullptr;
}

BOOL CDialog::DestroyWindow() {
  if (m_hWnd == nullptr)
    return FALSE;
  return ::DestroyWindow(m_hWnd); // WM_NCDESTROY lets go of the window
}
