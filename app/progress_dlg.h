// The small window a long batch shows: which item of how many, its name, a bar, and 中止.
#pragma once

#include "framework/afxwin.h"

class CProgressDlg : public CDialog {
 public:
  typedef CProgressDlg ThisClass;
  CProgressDlg();
  ~CProgressDlg() override;

  // Creates the window, hidden, centred over pOwner, which owns it.
  BOOL Create(CWnd* pOwner);
  void ShowItem(int n, int total, const wchar_t* name);
  // The whole batch's share done, in thousandths.
  void ShowShare(int permille);
  // 1 once 中止 (or the close box) asked for the batch to stop after the current item.
  int m_bStopWanted;

 protected:
  BOOL OnInitDialog() override;
  void OnOK() override;
  void OnCancel() override;

  CProgressCtrl m_bar;
  int m_nShare;
  int m_nItem;
  int m_nTotal;

  void ShowCount();

  DECLARE_MESSAGE_MAP()
};
