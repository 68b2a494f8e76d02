#include "app/progress_dlg.h"

#include "res/resource.h"

#include <cstdio>

CProgressDlg::CProgressDlg()
    : CDialog(IDD_PROGRESS), m_bStopWanted(0), m_nShare(-1), m_nItem(0), m_nTotal(0) {}

CProgressDlg::~CProgressDlg() { DestroyWindow(); }

BEGIN_MESSAGE_MAP(CProgressDlg, CDialog)
END_MESSAGE_MAP()

BOOL CProgressDlg::Create(CWnd* pOwner) { return CDialog::Create(pOwner); }

BOOL CProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_bar.SubclassDlgItem(IDC_PROGRESS_BAR, this);
  m_bar.SetRange32(0, 1000);
  if (m_pParentWnd != nullptr) {
    RECT owner;
    RECT self;
    ::GetWindowRect(m_pParentWnd->m_hWnd, &owner);
    ::GetWindowRect(m_hWnd, &self);
    const int x = owner.left + ((owner.right - owner.left) - (self.right - self.left)) / 2;
    const int y = owner.top + ((owner.bottom - owner.top) - (self.bottom - self.top)) / 2;
    ::SetWindowPos(m_hWnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return FALSE; // no focus: that would make this window the active one, not the owner
}

void CProgressDlg::ShowCount() {
  char text[128];
  if (m_bStopWanted)
    std::snprintf(text, sizeof text, "%d 件中 %d 件目の処理の後で中止します", m_nTotal, m_nItem);
  else
    std::snprintf(text, sizeof text, "%d 件中 %d 件目を処理しています", m_nTotal, m_nItem);
  ::SetDlgItemTextA(m_hWnd, IDC_PROGRESS_COUNT, text);
}

void CProgressDlg::ShowItem(int n, int total, const wchar_t* name) {
  m_nItem = n;
  m_nTotal = total;
  ShowCount();
  ::SetDlgItemTextW(m_hWnd, IDC_PROGRESS_NAME, name);
}

void CProgressDlg::ShowShare(int permille) {
  if (permille == m_nShare)
    return;
  m_nShare = permille;
  m_bar.SetPos(permille);
}

// Enter must not stop the batch by accident, nor end the window.
void CProgressDlg::OnOK() {}

void CProgressDlg::OnCancel() {
  if (m_bStopWanted)
    return;
  m_bStopWanted = 1;
  ::EnableWindow(GetDlgItem(IDCANCEL), FALSE);
  ShowCount();
}
