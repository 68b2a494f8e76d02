#include "app/converter_app.h"

#include "app/settings_dlg.h"

CConverterApp::CConverterApp() {}

BOOL CConverterApp::InitInstance() {
  AfxEnableControlContainer();
  Enable3dControlsStatic();
  CSettingsDlg* dlg = new CSettingsDlg;
  m_pMainWnd = dlg;
  dlg->DoModal();
  m_pMainWnd = nullptr;
  delete dlg;
  // No message loop: the dialog's own loop was the program's.
  return FALSE;
}

CConverterApp theApp;
