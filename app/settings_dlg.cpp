// The main settings window: controls, menu commands and how the window ends.
#include "app/settings_dlg.h"

#include "about/about_dlg.h"
#include "app/archive_list.h"
#include "app/batch_progress.h"
#include "app/quality_scroll.h"
#include "res/resource.h"
#include "res/web_addresses.h"

#include <shlobj.h>

#include <cstdlib>

CSettingsDlg::CSettingsDlg(CWnd* pParent)
    : CDialog(IDD_SETTINGS, pParent), m_nOutputType(-1), m_bAddExt(0), m_bMakeDir(0), m_bOpenDir(0),
      m_nArchiveType(-1), m_bArchiveSelect(0), m_nImageType(-1), m_nJpegQuality(0),
      m_bImageSelect(0), m_bStartupDone(0), m_pBatch(nullptr) {
  m_hIcon = AfxGetApp() != nullptr
                ? AfxGetApp()->LoadIcon(IDR_MAINFRAME)
                : ::LoadIconA(AfxGetInstanceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

void CSettingsDlg::DoDataExchange(CDataExchange* pDX) {
  CDialog::DoDataExchange(pDX);
  DDX_Control(pDX, IDC_QUALITY_SCROLL, m_scrollQuality);
  DDX_Text(pDX, IDC_OUTPUT_DIR, m_strOutputDir);
  DDX_Radio(pDX, IDC_OUTPUT_SAME, m_nOutputType);
  DDX_Check(pDX, IDC_ADD_EXT, m_bAddExt);
  DDX_Check(pDX, IDC_MAKE_DIR, m_bMakeDir);
  DDX_Check(pDX, IDC_OPEN_DIR, m_bOpenDir);
  DDX_CBIndex(pDX, IDC_ARCHIVE_TYPE, m_nArchiveType);
  DDX_Check(pDX, IDC_ARCHIVE_SELECT, m_bArchiveSelect);
  DDX_CBIndex(pDX, IDC_IMAGE_TYPE, m_nImageType);
  DDX_Text(pDX, IDC_QUALITY, m_nJpegQuality);
  DDX_Check(pDX, IDC_IMAGE_SELECT, m_bImageSelect);
}

BEGIN_MESSAGE_MAP(CSettingsDlg, CDialog)
ON_WM_SYSCOMMAND()
ON_WM_PAINT()
ON_WM_QUERYDRAGICON()
ON_WM_DROPFILES()
ON_WM_HSCROLL()
ON_COMMAND(IDC_BROWSE, &CSettingsDlg::OnBrowse)
ON_COMMAND(ID_APP_EXIT_NOW, &CSettingsDlg::OnExit)
ON_COMMAND(ID_DOWNLOAD, &CSettingsDlg::OnDownload)
ON_COMMAND(ID_ABOUT, &CSettingsDlg::OnAbout)
ON_MESSAGE(WM_ENTERIDLE, &CSettingsDlg::OnEnterIdle)
END_MESSAGE_MAP()

BOOL CSettingsDlg::OnInitDialog() {
  CDialog::OnInitDialog();

  HMENU sysMenu = ::GetSystemMenu(m_hWnd, FALSE);
  char about[128] = {0};
  ::LoadStringA(AfxGetInstanceHandle(), IDS_ABOUTBOX, about, sizeof about);
  if (sysMenu != nullptr && about[0] != '\0') {
    ::AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
    ::AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
  }

  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

  FillArchiveList(*this, IDC_ARCHIVE_TYPE);
  LoadSettings();
  return TRUE;
}

void CSettingsDlg::OnSysCommand(UINT nID, LPARAM lParam) {
  // A batch that runs keeps the window: the About box and closing wait for its end.
  if (m_pBatch != nullptr && ((nID & 0xFFF0) == IDM_ABOUTBOX || (nID & 0xFFF0) == SC_CLOSE)) {
    m_pBatch->HoldForLater(WM_SYSCOMMAND, nID, lParam);
    return;
  }
  if ((nID & 0xFFF0) == IDM_ABOUTBOX)
    OnAbout();
  else
    Default();
}

HCURSOR CSettingsDlg::OnQueryDragIcon() { return static_cast<HCURSOR>(m_hIcon); }

void CSettingsDlg::OnHScroll(UINT nSBCode, UINT nPos, HWND) {
  ScrollQuality(*this, m_scrollQuality, m_nJpegQuality, nSBCode, nPos);
  Default();
}

void CSettingsDlg::OnBrowse() {
  UpdateData(TRUE);
  char display[MAX_PATH] = {0};
  BROWSEINFOA bi = {};
  bi.hwndOwner = m_hWnd;
  bi.pszDisplayName = display;
  bi.lpszTitle = "出力ﾌｫﾙﾀﾞを指定して下さい。";
  bi.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST list = ::SHBrowseForFolderA(&bi);
  if (list == nullptr)
    return;
  char path[MAX_PATH] = {0};
  BOOL ok = ::SHGetPathFromIDListA(list, path);
  IMalloc* malloc = nullptr;
  if (SUCCEEDED(::SHGetMalloc(&malloc))) {
    malloc->Free(list);
    malloc->Release();
  }
  if (!ok)
    return;
  m_strOutputDir = path;
  m_nOutputType = 1;
  UpdateData(FALSE);
}

void CSettingsDlg::OnExit() { std::exit(0); }

void CSettingsDlg::OnDownload() {
  HINSTANCE r = ::ShellExecuteA(m_hWnd, "open", QUILLET_HOMEPAGE, nullptr, nullptr, SW_SHOWNORMAL);
  if (reinterpret_cast<INT_PTR>(r) <= 32)
    MessageBox("ﾎｰﾑﾍﾟｰｼﾞを開くことが出来ませんでした。", "Quillet", MB_OK | MB_ICONEXCLAMATION);
}

void CSettingsDlg::OnAbout() {
  CAboutDlg dlg;
  dlg.DoModal();
}

void CSettingsDlg::OnOK() { SaveSettings(); }

// The window is disabled while a batch runs; a command that reaches it all the same (posted
// by another program) must neither end the process nor start work inside the batch: it
// runs when the batch has ended. Its controls' own notifications need nothing.
BOOL CSettingsDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
  if (m_pBatch != nullptr) {
    if (lParam == 0 || HIWORD(wParam) == BN_CLICKED)
      m_pBatch->HoldForLater(WM_COMMAND, wParam, lParam);
    return TRUE;
  }
  return CDialog::OnCommand(wParam, lParam);
}

// A dialog or message box owned by this window waits for the user.
LRESULT CSettingsDlg::OnEnterIdle(WPARAM, LPARAM) {
  if (m_pBatch != nullptr)
    m_pBatch->UserIsAsked();
  return 0;
}
