// The first paint starts the command-line batch; dropped items go to the dispatcher.
#include "app/settings_dlg.h"

#include "app/batch_progress.h"
#include "base/limits.h"
#include "win/cp932_names.h"
#include "win/messages.h"

#include <shellapi.h>

#include <string>
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

// 0 when the batch may go on with the next item; 1 when it stops (a message was shown).
int CSettingsDlg::ProcessDroppedItem(const wchar_t* item) {
  std::string path;
  if (!ToUsablePath(item, &path)) {
    ShowUnusableName(m_hWnd, item);
    return 1;
  }
  if (path.size() >= kPathBufferSize) {
    ShowTooLong(m_hWnd, path.c_str());
    return 1;
  }
  return ProcessItem(path.c_str());
}

void CSettingsDlg::OnDropFiles(HDROP hDropInfo) {
  // No second batch inside the first: this one waits for its end.
  if (m_pBatch != nullptr) {
    m_pBatch->HoldForLater(WM_DROPFILES, reinterpret_cast<WPARAM>(hDropInfo), 0);
    return;
  }
  const UINT count = ::DragQueryFileW(hDropInfo, 0xFFFFFFFF, nullptr, 0);
  if (count > 0) {
    CBatchProgress batch(this, static_cast<int>(count));
    m_pBatch = &batch;
    for (UINT i = 0; i < count; ++i) {
      const UINT length = ::DragQueryFileW(hDropInfo, i, nullptr, 0);
      std::vector<wchar_t> item(length + 1, L'\0');
      ::DragQueryFileW(hDropInfo, i, item.data(), length + 1);
      batch.BeginItem(static_cast<int>(i) + 1, item.data());
      const int result = ProcessDroppedItem(item.data());
      batch.EndItem();
      // 中止 counts as a stop, after the item it came in.
      if (result != 0 || batch.StopWanted())
        break;
    }
    m_pBatch = nullptr;
  }
  ::DragFinish(hDropInfo);
}
