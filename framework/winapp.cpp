// CWinApp, the framework's start and its message box.
#include "framework/afxwin.h"

#include "win/program_folder.h"

#include <objbase.h>

#include <cstring>

namespace {
CWinApp* g_app = nullptr;
HINSTANCE g_instance = nullptr;
char g_appName[MAX_PATH] = {0};

HINSTANCE CurrentInstance() {
  if (g_instance == nullptr)
    g_instance = ::GetModuleHandleA(nullptr);
  return g_instance;
}
} // namespace

CWinApp* AfxGetApp() { return g_app; }
HINSTANCE AfxGetInstanceHandle() { return CurrentInstance(); }

const char* AfxGetAppName() {
  if (g_appName[0] == '\0') {
    char path[MAX_PATH];
    if (!GetProgramPath(path, sizeof path))
      return "";
    const char* name = path;
    for (const char* p = path; *p != '\0'; p = ::CharNextA(p))
      if (*p == '\\' || *p == '/' || *p == ':')
        name = p + 1;
    std::memcpy(g_appName, name, std::strlen(name) + 1);
    char* dot = nullptr;
    for (char* p = g_appName; *p != '\0'; p = ::CharNextA(p))
      if (*p == '.')
        dot = p;
    if (dot != nullptr)
      *dot = '\0';
  }
  return g_appName;
}

void AfxEnableControlContainer() { ::OleInitialize(nullptr); }

// Titled with the program file's name, as the framework does; the program's own boxes
// say "Quillet" (win/messages.h).
int AfxMessageBox(const char* text, UINT nType) {
  if ((nType & MB_ICONMASK) == 0)
    nType |= MB_ICONEXCLAMATION;
  HWND owner = ::GetActiveWindow();
  if (owner == nullptr && g_app != nullptr && g_app->m_pMainWnd != nullptr)
    owner = g_app->m_pMainWnd->m_hWnd;
  return ::MessageBoxA(owner, text, AfxGetAppName(), nType);
}

CWinApp::CWinApp(const char* pszAppName) {
  g_app = this;
  m_pszAppName = pszAppName;
}

CWinApp::~CWinApp() {
  if (g_app == this)
    g_app = nullptr;
}

BOOL CWinApp::InitInstance() { return TRUE; }

int CWinApp::Run() {
  MSG msg;
  while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageA(&msg);
  }
  return ExitInstance();
}

int CWinApp::ExitInstance() { return 0; }

HICON CWinApp::LoadIcon(UINT nID) const { return ::LoadIconA(m_hInstance, MAKEINTRESOURCEA(nID)); }

void CWinApp::Enable3dControlsStatic() {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&icc);
}

int AfxWinMain(HINSTANCE hInstance) {
  g_instance = hInstance;
  CWinApp* app = g_app;
  if (app == nullptr)
    return -1;
  app->m_hInstance = hInstance;
  if (app->m_pszAppName == nullptr)
    app->m_pszAppName = AfxGetAppName();
  if (!app->InitInstance())
    return app->ExitInstance();
  return app->Run();
}
