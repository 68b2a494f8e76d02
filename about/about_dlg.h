// The About box: the program's name and version and two links, the author's home page and
// e-mail address.
#pragma once

#include "about/link_label.h"
#include "framework/afxwin.h"

class CAboutDlg : public CDialog {
 public:
  typedef CAboutDlg ThisClass;
  CAboutDlg();
  ~CAboutDlg() override;

 protected:
  CLinkLabel m_linkHomePage;
  CLinkLabel m_linkMail;

  void DoDataExchange(CDataExchange* pDX) override;
  BOOL OnInitDialog() override;

  DECLARE_MESSAGE_MAP()
};
