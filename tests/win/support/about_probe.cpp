#include "tests/win/support/about_probe.h"

#include <thread>

namespace {
const UINT_PTR kProbeTimer = 0x5157;
}

BEGIN_MESSAGE_MAP(AboutBoxUnderTest, CAboutDlg)
ON_MESSAGE(WM_TIMER, &AboutBoxUnderTest::OnTimer)
END_MESSAGE_MAP()

BOOL AboutBoxUnderTest::OnInitDialog() {
  BOOL result = CAboutDlg::OnInitDialog();
  ::SetTimer(m_hWnd, kProbeTimer, 50, nullptr);
  return result;
}

LRESULT AboutBoxUnderTest::OnTimer(WPARAM id, LPARAM) {
  if (id != kProbeTimer)
    return Default();
  ::KillTimer(m_hWnd, kProbeTimer);
  probe_(*this);
  EndDialog(IDOK);
  return 0;
}

INT_PTR ProbeAboutBox(const std::function<void(AboutBoxUnderTest&)>& probe, DWORD timeoutMs) {
  AboutBoxUnderTest box(probe);
  HANDLE done = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::thread watchdog([&] {
    if (::WaitForSingleObject(done, timeoutMs) == WAIT_TIMEOUT && box.m_hWnd != nullptr)
      ::PostMessageA(box.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  });
  INT_PTR result = box.DoModal();
  ::SetEvent(done);
  watchdog.join();
  ::CloseHandle(done);
  return result;
}
