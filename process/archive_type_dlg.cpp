#include "process/archive_type_dlg.h"

#include "app/archive_list.h"
#include "res/resource.h"

CArchiveTypeDlg::CArchiveTypeDlg(CWnd* pParent) : CDialog(IDD_ARCHIVE_TYPE, pParent), m_nType(0) {}

void CArchiveTypeDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_CBIndex(pDX, IDC_ARCHIVE_TYPE, m_nType);
}

BOOL CArchiveTypeDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  ::SetWindowTextA(m_hWnd, m_strTitle.c_str());
  // The libraries are asked again: one may have been installed since the last item.
  FillArchiveList(*this, IDC_ARCHIVE_TYPE);
  return TRUE;
}
