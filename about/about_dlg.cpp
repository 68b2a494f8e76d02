#include "about/about_dlg.h"

#include "res/resource.h"
#include "res/web_addresses.h"

BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
END_MESSAGE_MAP()

CAboutDlg::CAboutDlg() : CDialog(IDD_ABOUTBOX) {}

CAboutDlg::~CAboutDlg() = default;

void CAboutDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_LINK_HOMEPAGE, m_linkHomePage);
  DDX_Control(pDX, IDC_LINK_MAIL, m_linkMail);
}

BOOL CAboutDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  // The links show the template's texts but lead to the page itself and to a new mail.
  m_linkHomePage.SetTarget(QUILLET_HOMEPAGE_INDEX);
  m_linkMail.SetTarget("mailto:" QUILLET_MAIL_ADDRESS);
  return TRUE;
}
