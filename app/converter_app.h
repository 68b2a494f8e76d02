// The application object: runs the main settings window as the program's only loop.
#pragma once

#include "framework/afxwin.h"

class CConverterApp : public CWinApp {
 public:
  CConverterApp();
  BOOL InitInstance() override;
};
