// The About box.
#pragma once

#include "framework/afxwin.h"

class CAboutDlg : public CDialog {
 public:
  CAboutDlg();
};
