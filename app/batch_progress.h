// One batch of items as the window lives it: the window takes no input while the batch runs
// but keeps itself painted, and once the batch has lasted about a second a progress window
// shows it and lets the user stop it after the current item. Everything here runs on the
// window's thread.
#pragma once

#include "app/progress_dlg.h"

#include <vector>

class CBatchProgress {
 public:
  // The batch of total items run by owner, which is disabled until the batch ends.
  CBatchProgress(CWnd* owner, int total);
  ~CBatchProgress();
  CBatchProgress(const CBatchProgress&) = delete;
  CBatchProgress& operator=(const CBatchProgress&) = delete;

  // Item n (from 1), named by its path, begins; the window's waiting messages are handled.
  void BeginItem(int n, const wchar_t* path);
  // The current item has come permille thousandths of its way; waiting messages are handled.
  void Step(int permille);
  // The current item is done; waiting messages are handled.
  void EndItem();
  // 1 when the user asked for the batch to stop after the current item.
  int StopWanted() const { return m_dlg.m_bStopWanted; }
  // The user is being asked something: that time is not the batch's.
  void UserIsAsked();
  // A command or drop that reached the owner during the batch: handed back to the owner's
  // queue when the batch ends, so that it neither runs inside the batch nor is lost.
  void HoldForLater(UINT message, WPARAM wParam, LPARAM lParam);

  // Step as a plain function, for a conversion's report.
  static void StepOf(void* context, int permille);

 private:
  void Pump(bool mayShow);
  void ShowWhenDue();

  CWnd* m_pOwner;
  int m_bOwnerWasEnabled;
  HWND m_hFocus;
  int m_nTotal;
  int m_nItem;
  DWORD m_dwStart;
  CProgressDlg m_dlg;
  const wchar_t* m_pszName;
  std::vector<MSG> m_held;
};
