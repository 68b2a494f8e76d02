// A small application framework in the manner of MFC: just what Quillet's windows need.
// Windows are CWnd objects attached to their HWND through a window property; messages
// reach member handlers through per-class message maps; dialogs run their own modal
// loop so that controls can pre-translate their messages.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

class CWnd;
class CDataExchange;

// ---------------------------------------------------------------- message maps

typedef void (CWnd::*AFX_PMSG)();

// How a map entry's handler is called.
enum AfxSig {
  AfxSig_vv,         // void OnX()
  AfxSig_vwl,        // void OnX(WPARAM, LPARAM)
  AfxSig_lwl,        // LRESULT OnX(WPARAM, LPARAM)
  AfxSig_vHscroll,   // void OnHScroll(UINT code, UINT pos, HWND scrollBar)
  AfxSig_vSysCmd,    // void OnSysCommand(UINT id, LPARAM)
  AfxSig_vDrop,      // void OnDropFiles(HDROP)
  AfxSig_hcurv,      // HCURSOR OnQueryDragIcon()
  AfxSig_bSetCursor, // BOOL OnSetCursor(HWND, UINT hitTest, UINT message)
  AfxSig_vMouse,     // void OnMouseMove(UINT flags, POINT)
  AfxSig_hbrCtl,     // HBRUSH CtlColor(HDC, UINT ctlType), a reflected WM_CTLCOLOR*
};

struct AFX_MSGMAP_ENTRY {
  UINT nMessage; // window message; WM_COMMAND for commands and control notifications
  UINT nCode;    // notification code for WM_COMMAND entries
  UINT nID;      // command or control ID for WM_COMMAND entries
  AfxSig nSig;
  AFX_PMSG pfn;
};

struct AFX_MSGMAP {
  const AFX_MSGMAP* pBaseMap;
  const AFX_MSGMAP_ENTRY* lpEntries; // ends with an entry whose pfn is null
};

// Reflected messages are looked up as the original message plus this offset.
const UINT WM_REFLECT_BASE = 0xBC00;

#define DECLARE_MESSAGE_MAP()                                                                      \
 protected:                                                                                        \
  static const AFX_MSGMAP_ENTRY _messageEntries[];                                                 \
  static const AFX_MSGMAP messageMap;                                                              \
  const AFX_MSGMAP* GetMessageMap() const override;

// Handlers of every signature share one pointer type in the map, as the dispatch knows
// each entry's real signature; the casts are the mechanism, so their warning is off here.
#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                                     \
  _Pragma("GCC diagnostic push") _Pragma("GCC diagnostic ignored \"-Wcast-function-type\"")        \
      const AFX_MSGMAP*                                                                            \
      theClass::GetMessageMap() const {                                                            \
    return &theClass::messageMap;                                                                  \
  }                                                                                                \
  const AFX_MSGMAP theClass::messageMap = {&baseClass::messageMap, &theClass::_messageEntries[0]}; \
  const AFX_MSGMAP_ENTRY theClass::_messageEntries[] = {
#define END_MESSAGE_MAP()                                                                          \
  { 0, 0, 0, AfxSig_vv, nullptr }                                                                  \
  }                                                                                                \
  ;                                                                                                \
  _Pragma("GCC diagnostic pop")

#define AFX_ENTRY(msg, code, id, sig, type, fn)                                                    \
  {msg, code, id, sig, reinterpret_cast<AFX_PMSG>(static_cast<type>(fn))},

#define ON_COMMAND(id, fn) AFX_ENTRY(WM_COMMAND, 0, id, AfxSig_vv, void (CWnd::*)(), fn)
#define ON_WM_PAINT() AFX_ENTRY(WM_PAINT, 0, 0, AfxSig_vv, void (CWnd::*)(), &ThisClass::OnPaint)
#define ON_WM_HSCROLL()                                                                            \
  AFX_ENTRY(WM_HSCROLL, 0, 0, AfxSig_vHscroll, void (CWnd::*)(UINT, UINT, HWND),                   \
            &ThisClass::OnHScroll)
#define ON_WM_SYSCOMMAND()                                                                         \
  AFX_ENTRY(WM_SYSCOMMAND, 0, 0, AfxSig_vSysCmd, void (CWnd::*)(UINT, LPARAM),                     \
            &ThisClass::OnSysCommand)
#define ON_WM_DROPFILES()                                                                          \
  AFX_ENTRY(WM_DROPFILES, 0, 0, AfxSig_vDrop, void (CWnd::*)(HDROP), &ThisClass::OnDropFiles)
#define ON_WM_QUERYDRAGICON()                                                                      \
  AFX_ENTRY(WM_QUERYDRAGICON, 0, 0, AfxSig_hcurv, HCURSOR (CWnd::*)(), &ThisClass::OnQueryDragIcon)
#define ON_WM_SETCURSOR()                                                                          \
  AFX_ENTRY(WM_SETCURSOR, 0, 0, AfxSig_bSetCursor, BOOL (CWnd::*)(HWND, UINT, UINT),               \
            &ThisClass::OnSetCursor)
#define ON_WM_MOUSEMOVE()                                                                          \
  AFX_ENTRY(WM_MOUSEMOVE, 0, 0, AfxSig_vMouse, void (CWnd::*)(UINT, POINT), &ThisClass::OnMouseMove)
// A parent's control notification handled by the control itself.
#define ON_CONTROL_REFLECT(code, fn)                                                               \
  AFX_ENTRY(WM_REFLECT_BASE + WM_COMMAND, code, 0, AfxSig_vv, void(CWnd::*)(), fn)
// A parent's WM_CTLCOLOR* handled by the control itself.
#define ON_WM_CTLCOLOR_REFLECT()                                                                   \
  AFX_ENTRY(WM_REFLECT_BASE + WM_CTLCOLORSTATIC, 0, 0, AfxSig_hbrCtl, HBRUSH(CWnd::*)(HDC, UINT),  \
            &ThisClass::CtlColor)
#define ON_MESSAGE(msg, fn) AFX_ENTRY(msg, 0, 0, AfxSig_lwl, LRESULT (CWnd::*)(WPARAM, LPARAM), fn)

// ---------------------------------------------------------------- windows

LRESULT CALLBACK AfxWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

class CWnd {
 public:
  typedef CWnd ThisClass;
  CWnd() = default;
  virtual ~CWnd();
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;

  HWND m_hWnd = nullptr;
  HWND GetSafeHwnd() const { return m_hWnd; }
  operator HWND() const { return m_hWnd; }

  // The object attached to a window by this framework, or null.
  static CWnd* FromHandlePermanent(HWND hWnd);

  // Attach to an existing control and route its messages through this object.
  BOOL SubclassWindow(HWND hWnd);
  BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
  HWND UnsubclassWindow();

  virtual BOOL PreTranslateMessage(MSG* pMsg);
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  // Give the message being handled to the window's original procedure.
  LRESULT Default();
  virtual void PostNcDestroy() {}

  BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
  virtual void DoDataExchange(CDataExchange* pDX);

  HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
  int MessageBox(const char* text, const char* caption = nullptr, UINT type = MB_OK);
  void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
  BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
  LRESULT SendMessage(UINT m, WPARAM w = 0, LPARAM l = 0) {
    return ::SendMessageA(m_hWnd, m, w, l);
  }

 protected:
  virtual const AFX_MSGMAP* GetMessageMap() const;
  static const AFX_MSGMAP messageMap;
  static const AFX_MSGMAP_ENTRY _messageEntries[];

  // Runs the map's handler for a message; FALSE when the map has none.
  BOOL OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);
  // A child's notification offered to the child's own map first (reflection).
  virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult);
  virtual void PreSubclassWindow() {}

  void Attach(HWND hWnd);
  void Detach();
  WNDPROC m_pfnSuper = nullptr;

  friend LRESULT CALLBACK AfxWndProc(HWND, UINT, WPARAM, LPARAM);
  friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
  friend class CDialog;
};

// A static control: its style says how its text is laid out and whether it notifies.
class CStatic : public CWnd {
 public:
  DWORD GetStyle() const { return static_cast<DWORD>(::GetWindowLongA(m_hWnd, GWL_STYLE)); }
  void ModifyStyle(DWORD remove, DWORD add) {
    ::SetWindowLongA(m_hWnd, GWL_STYLE, static_cast<LONG>((GetStyle() & ~remove) | add));
  }
};
class CProgressCtrl : public CWnd {
 public:
  void SetRange32(int nLower, int nUpper) { SendMessage(PBM_SETRANGE32, nLower, nUpper); }
  int SetPos(int nPos) { return static_cast<int>(SendMessage(PBM_SETPOS, nPos)); }
  int GetPos() { return static_cast<int>(SendMessage(PBM_GETPOS)); }
};
class CScrollBar : public CWnd {
 public:
  int GetScrollPos() const { return ::GetScrollPos(m_hWnd, SB_CTL); }
  int SetScrollPos(int nPos, BOOL bRedraw = TRUE) {
    return ::SetScrollPos(m_hWnd, SB_CTL, nPos, bRedraw);
  }
  void SetScrollRange(int nMin, int nMax, BOOL bRedraw = TRUE) {
    ::SetScrollRange(m_hWnd, SB_CTL, nMin, nMax, bRedraw);
  }
};

// ---------------------------------------------------------------- dialogs

class CDialog : public CWnd {
 public:
  typedef CDialog ThisClass;
  explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);

  // Creates the dialog from its template, runs it until EndDialog, destroys it. While it
  // waits for the user its parent hears WM_ENTERIDLE, as from the system's own dialogs.
  virtual INT_PTR DoModal();
  // Creates the dialog from its template as a modeless window owned by pParentWnd; the
  // template says whether it is visible. The caller's message loop must offer it its
  // messages (IsDialogMessage) and end it with DestroyWindow.
  BOOL Create(CWnd* pParentWnd);
  BOOL DestroyWindow();
  void EndDialog(int nResult);

  virtual BOOL OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();

 protected:
  BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
  const AFX_MSGMAP* GetMessageMap() const override;
  static const AFX_MSGMAP messageMap;
  static const AFX_MSGMAP_ENTRY _messageEntries[];

  UINT m_nIDTemplate; // the dialog template resource
  CWnd* m_pParentWnd;
  BOOL m_bEndModal = FALSE;
  int m_nModalResult = -1;

  friend INT_PTR CALLBACK AfxDlgProc(HWND, UINT, WPARAM, LPARAM);
};

// ---------------------------------------------------------------- data exchange

class CDataExchange {
 public:
  CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate)
      : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}
  BOOL m_bSaveAndValidate; // TRUE: controls to members
  CWnd* m_pDlgWnd;
  BOOL m_bFailed = FALSE;
  HWND PrepareCtrl(int nIDC);
};

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value);
void DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index);
void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control);

// ---------------------------------------------------------------- GDI and common controls

class CFont {
 public:
  CFont() = default;
  ~CFont() { DeleteObject(); }
  CFont(const CFont&) = delete;
  CFont& operator=(const CFont&) = delete;
  HFONT m_hObject = nullptr;
  operator HFONT() const { return m_hObject; }
  BOOL CreateFontIndirect(const LOGFONTA* lf);
  BOOL DeleteObject();
  // Lets go of the font without deleting it: the caller now owns it.
  HFONT Detach();
};

class CToolTipCtrl : public CWnd {
 public:
  ~CToolTipCtrl() override;
  BOOL Create(CWnd* pParentWnd);
  BOOL AddTool(CWnd* pWnd, const char* text, const RECT* rect, UINT_PTR nIDTool);
  void UpdateTipText(const char* text, CWnd* pWnd, UINT_PTR nIDTool);
  void RelayEvent(MSG* pMsg);
};

// ---------------------------------------------------------------- application

class CWinApp {
 public:
  explicit CWinApp(const char* pszAppName = nullptr);
  virtual ~CWinApp();
  virtual BOOL InitInstance();
  virtual int Run();
  virtual int ExitInstance();

  HINSTANCE m_hInstance = nullptr;
  const char* m_pszAppName = nullptr; // the program file's name without extension
  CWnd* m_pMainWnd = nullptr;
  HICON LoadIcon(UINT nID) const;

  void Enable3dControlsStatic();
};

CWinApp* AfxGetApp();
HINSTANCE AfxGetInstanceHandle();
// The application's name: the program file's name without its extension.
const char* AfxGetAppName();
void AfxEnableControlContainer();
// A message box titled with the application's name; an exclamation icon unless one is given.
int AfxMessageBox(const char* text, UINT nType = MB_OK);
// The framework's start: called by WinMain.
int AfxWinMain(HINSTANCE hInstance);
