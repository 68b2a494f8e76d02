#include "app/batch_progress.h"

#include <cwchar>

namespace {

// A batch shorter than this shows nothing new.
const DWORD kShowAfterMs = 1000;

// The last component of path, or path itself when it ends in a separator (a drive root).
const wchar_t* LastComponent(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p != L'\0'; ++p)
    if ((*p == L'\\' || *p == L'/') && p[1] != L'\0')
      name = p + 1;
  return name;
}

} // namespace

CBatchProgress::CBatchProgress(CWnd* owner, int total)
    : m_pOwner(owner), m_bOwnerWasEnabled(::IsWindowEnabled(owner->m_hWnd)), m_hFocus(::GetFocus()),
      m_nTotal(total), m_nItem(0), m_dwStart(::GetTickCount()), m_pszName(L"") {
  if (m_bOwnerWasEnabled)
    ::EnableWindow(owner->m_hWnd, FALSE);
}

CBatchProgress::~CBatchProgress() {
  // The owner first, so that it, not another program, is activated when the window goes.
  if (m_bOwnerWasEnabled)
    ::EnableWindow(m_pOwner->m_hWnd, TRUE);
  const bool wasActive = m_dlg.m_hWnd != nullptr && ::GetActiveWindow() == m_dlg.m_hWnd;
  m_dlg.DestroyWindow();
  if (wasActive)
    ::SetActiveWindow(m_pOwner->m_hWnd);
  if (m_hFocus != nullptr && ::IsWindow(m_hFocus) && ::GetActiveWindow() == m_pOwner->m_hWnd)
    ::SetFocus(m_hFocus);
  for (const MSG& held : m_held)
    ::PostMessageA(m_pOwner->m_hWnd, held.message, held.wParam, held.lParam);
}

void CBatchProgress::HoldForLater(UINT message, WPARAM wParam, LPARAM lParam) {
  MSG held = {};
  held.message = message;
  held.wParam = wParam;
  held.lParam = lParam;
  m_held.push_back(held);
}

void CBatchProgress::BeginItem(int n, const wchar_t* path) {
  m_nItem = n;
  m_pszName = LastComponent(path);
  if (m_dlg.m_hWnd != nullptr) {
    m_dlg.ShowItem(n, m_nTotal, m_pszName);
    m_dlg.ShowShare((n - 1) * 1000 / m_nTotal);
  }
  Pump(true);
}

void CBatchProgress::Step(int permille) {
  if (m_dlg.m_hWnd != nullptr) {
    const long long whole = (m_nItem - 1) * 1000LL + permille;
    m_dlg.ShowShare(static_cast<int>(whole / m_nTotal));
  }
  Pump(true);
}

void CBatchProgress::EndItem() {
  if (m_dlg.m_hWnd != nullptr)
    m_dlg.ShowShare(static_cast<int>(m_nItem * 1000LL / m_nTotal));
  m_pszName = L"";
  Pump(false);
}

void CBatchProgress::StepOf(void* context, int permille) {
  static_cast<CBatchProgress*>(context)->Step(permille);
}

void CBatchProgress::UserIsAsked() {
  if (m_dlg.m_hWnd == nullptr)
    m_dwStart = ::GetTickCount();
}

void CBatchProgress::ShowWhenDue() {
  if (m_dlg.m_hWnd != nullptr || ::GetTickCount() - m_dwStart < kShowAfterMs)
    return;
  if (!m_dlg.Create(m_pOwner))
    return;
  m_dlg.ShowItem(m_nItem, m_nTotal, m_pszName);
  m_dlg.ShowShare(static_cast<int>((m_nItem - 1) * 1000LL / m_nTotal));
  // Not activated: the owner stays the active window, so every message box of the batch
  // still finds it as its owner.
  ::ShowWindow(m_dlg.m_hWnd, SW_SHOWNA);
  ::UpdateWindow(m_dlg.m_hWnd);
}

// Handles what waits in the thread's queue and returns: the owner repaints, the progress
// window answers; input cannot reach the disabled owner, and the commands and drops that
// reach it otherwise are held until the batch ends. The window never first appears as an item ends:
// that may be the batch's end.
void CBatchProgress::Pump(bool mayShow) {
  if (mayShow)
    ShowWhenDue();
  MSG msg;
  while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam)); // for the loop that owns the queue
      break;
    }
    if (m_dlg.m_hWnd != nullptr && ::IsDialogMessageA(m_dlg.m_hWnd, &msg))
      continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
}
