// A static text that looks and behaves like a web link: coloured underlined text, a hand
// cursor, a tooltip naming the target, a hover colour, a visited colour after a successful
// open, and a click that opens the target with the shell.
#pragma once

#include "framework/afxwin.h"

#include <string>

class CLinkLabel : public CStatic {
 public:
  typedef CLinkLabel ThisClass;
  CLinkLabel();
  ~CLinkLabel() override;

  virtual void SetTarget(const char* text);
  virtual std::string GetTarget() const;
  // A hot colour of 0xFFFFFFFF takes the system highlight colour of the moment.
  virtual void SetColors(COLORREF normal, COLORREF opened, COLORREF hot);
  virtual COLORREF GetNormalColor() const;
  virtual COLORREF GetOpenedColor() const;
  virtual COLORREF GetHotColor() const;
  virtual void SetOpened(BOOL opened);
  virtual BOOL IsOpened() const;
  // The link keeps its own copy of the cursor; none loads the default hand cursor.
  virtual void SetHandCursor(HCURSOR cursor);
  virtual HCURSOR GetHandCursor() const;
  virtual void SetUnderlined(BOOL underlined);
  virtual BOOL IsUnderlined() const;
  virtual void SetFitToText(BOOL fit);
  virtual BOOL IsFitToText() const;
  // Above 32 on success, else the error code that ReportOpenError explains.
  virtual int OpenTarget(const char* address, int showCommand);
  virtual void ReportOpenError(int code);
  // The default value of root\subkey into out (outSize bytes): 0, or the registry's error.
  // out may be subkey itself.
  virtual long ReadRegistryDefault(HKEY root, const char* subkey, char* out, size_t outSize);
  virtual void FitToText();
  virtual void LoadHandCursor();

 protected:
  COLORREF m_crNormal;
  COLORREF m_crOpened;
  COLORREF m_crHot;
  BOOL m_bHot;
  BOOL m_bOpened;
  BOOL m_bUnderlined;
  BOOL m_bFitToText;
  std::string m_strTarget;
  CFont m_fontLink;
  HCURSOR m_hHandCursor;
  CToolTipCtrl m_tipTarget;

  void PreSubclassWindow() override;
  BOOL PreTranslateMessage(MSG* pMsg) override;

  void OnClicked();
  HBRUSH CtlColor(HDC dc, UINT ctlColor);
  BOOL OnSetCursor(HWND wnd, UINT hitTest, UINT message);
  void OnMouseMove(UINT flags, POINT point);
  LRESULT OnCaptureChanged(WPARAM wParam, LPARAM lParam);

  DECLARE_MESSAGE_MAP()

 private:
  void ApplyUnderline();
  void RedrawNow();
  void ReleaseHandCursor();
};
