// Runs the real About box modally on the test's thread and looks at it from inside its
// own message loop, as its handlers would.
#pragma once

#include "about/about_dlg.h"

#include <functional>

class AboutBoxUnderTest : public CAboutDlg {
 public:
  typedef AboutBoxUnderTest ThisClass;
  explicit AboutBoxUnderTest(std::function<void(AboutBoxUnderTest&)> probe)
      : probe_(std::move(probe)) {}
  CLinkLabel& HomePage() { return m_linkHomePage; }
  CLinkLabel& Mail() { return m_linkMail; }

 protected:
  BOOL OnInitDialog() override;
  LRESULT OnTimer(WPARAM id, LPARAM);
  DECLARE_MESSAGE_MAP()

 private:
  std::function<void(AboutBoxUnderTest&)> probe_;
};

// Shows the box, calls probe once it is up, then ends it. A box that is still open after
// timeoutMs is cancelled. Returns DoModal's result.
INT_PTR ProbeAboutBox(const std::function<void(AboutBoxUnderTest&)>& probe,
                      DWORD timeoutMs = 60000);
