// The first paint starts the command-line batch; dropped items go to the dispatcher.
#include "app/settings_dlg.h"

#include "base/limits.h"
#include "win/messages.h"

#include <shellapi.h>

#include <cstring>
#include <vector>

void CSettingsDlg::OnPaint() {
  if (IsIconic()) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT rect;
    ::GetClientRect(m_hWnd, &rect);
    int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
  } else {
    Default();
  }
  // Set before the batch: its message boxes bring further paints.
  if (!m_bStartupDone) {
    m_bStartupDone = 1;
    ProcessCommandLine();
  }
}

void CSettingsDlg::OnDropFiles(HDROP hDropInfo) {
  UINT count = ::DragQueryFileA(hDropInfo, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    UINT length = ::DragQueryFileA(hDropInfo, i, nullptr, 0);
    std::vector<char> path(length + 1, '\0');
    ::DragQueryFileA(hDropInfo, i, path.data(), length + 1);
    if (std::strlen(path.data()) >= kPathBufferSize) {
      ShowTooLong(m_hWnd, path.data());
      break;
    }
    char dropped[kPathBufferSize];
    std::strcpy(dropped, path.data());
    if (ProcessItem(dropped) != 0)
      break;
  }
  ::DragFinish(hDropInfo);
}
