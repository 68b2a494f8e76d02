// Dialog data exchange: members to controls and back.
#include "framework/afxwin.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

HWND CDataExchange::PrepareCtrl(int nIDC) { return ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC); }

void DDX_Text(CDataExchange* pDX, int nIDC, std::string& value) {
  HWND h = pDX->PrepareCtrl(nIDC);
  if (h == nullptr)
    return;
  if (pDX->m_bSaveAndValidate) {
    int n = ::GetWindowTextLengthA(h);
    std::vector<char> buf(static_cast<size_t>(n) + 1, '\0');
    ::GetWindowTextA(h, buf.data(), n + 1);
    value.assign(buf.data());
  } else {
    ::SetWindowTextA(h, value.c_str());
  }
}

void DDX_Text(CDataExchange* pDX, int nIDC, int& value) {
  HWND h = pDX->PrepareCtrl(nIDC);
  if (h == nullptr)
    return;
  char buf[64];
  if (pDX->m_bSaveAndValidate) {
    ::GetWindowTextA(h, buf, sizeof buf);
    char* end = nullptr;
    long v = std::strtol(buf, &end, 10);
    while (end != nullptr && (*end == ' ' || *end == '\t'))
      ++end;
    if (end == buf || end == nullptr || *end != '\0') {
      pDX->m_bFailed = TRUE; // the member keeps its value
      return;
    }
    value = static_cast<int>(v);
  } else {
    std::snprintf(buf, sizeof buf, "%d", value);
    ::SetWindowTextA(h, buf);
  }
}

void DDX_Check(CDataExchange* pDX, int nIDC, int& value) {
  HWND h = pDX->PrepareCtrl(nIDC);
  if (h == nullptr)
    return;
  if (pDX->m_bSaveAndValidate) {
    value = static_cast<int>(::SendMessageA(h, BM_GETCHECK, 0, 0));
  } else {
    // A stored value that no check box state matches is shown as unchecked.
    if (value < 0 || value > 2)
      value = 0;
    ::SendMessageA(h, BM_SETCHECK, static_cast<WPARAM>(value), 0);
  }
}

// The radio group starts at nIDC and runs up to the next control with WS_GROUP.
void DDX_Radio(CDataExchange* pDX, int nIDC, int& value) {
  HWND h = pDX->PrepareCtrl(nIDC);
  if (h == nullptr)
    return;
  if (pDX->m_bSaveAndValidate)
    value = -1;
  int index = 0;
  do {
    LRESULT code = ::SendMessageA(h, WM_GETDLGCODE, 0, 0);
    if (code & DLGC_RADIOBUTTON) {
      if (pDX->m_bSaveAndValidate) {
        if (::SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED)
          value = index;
      } else {
        ::SendMessageA(h, BM_SETCHECK, index == value ? BST_CHECKED : BST_UNCHECKED, 0);
      }
      ++index;
    }
    h = ::GetWindow(h, GW_HWNDNEXT);
  } while (h != nullptr && !(::GetWindowLongA(h, GWL_STYLE) & WS_GROUP));
}

void DDX_CBIndex(CDataExchange* pDX, int nIDC, int& index) {
  HWND h = pDX->PrepareCtrl(nIDC);
  if (h == nullptr)
    return;
  if (pDX->m_bSaveAndValidate)
    index = static_cast<int>(::SendMessageA(h, CB_GETCURSEL, 0, 0));
  else
    ::SendMessageA(h, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& control) {
  if (control.m_hWnd != nullptr)
    return;
  control.SubclassWindow(pDX->PrepareCtrl(nIDC));
}
