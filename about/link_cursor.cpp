// The link's hand cursor.
#include "about/link_label.h"

#include <cstring>

namespace {

const WORD kHelpHandCursor = 106;

// The pointing hand of the Windows help program, copied so the library can go.
HCURSOR CopyHelpHandCursor() {
  char path[MAX_PATH + 16] = {0};
  UINT length = ::GetWindowsDirectoryA(path, MAX_PATH);
  const char name[] = "\\winhlp32.exe";
  if (length == 0 || length >= MAX_PATH)
    return nullptr;
  std::memcpy(path + length, name, sizeof name);
  // Only its resources are wanted: as a data file it loads whatever its architecture.
  HMODULE help = ::LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (help == nullptr)
    return nullptr;
  HCURSOR copy = nullptr;
  HCURSOR hand = ::LoadCursorA(help, MAKEINTRESOURCEA(kHelpHandCursor));
  if (hand != nullptr)
    copy = static_cast<HCURSOR>(::CopyIcon(hand));
  ::FreeLibrary(help);
  return copy;
}

} // namespace

void CLinkLabel::LoadHandCursor() {
  if (m_hHandCursor != nullptr)
    return;
  m_hHandCursor = CopyHelpHandCursor();
  // Current systems ship no help program with that cursor, but have a hand of their own.
  if (m_hHandCursor == nullptr) {
    HCURSOR systemHand = ::LoadCursorA(nullptr, IDC_HAND);
    if (systemHand != nullptr)
      m_hHandCursor = static_cast<HCURSOR>(::CopyIcon(systemHand));
  }
}

void CLinkLabel::SetHandCursor(HCURSOR cursor) {
  ReleaseHandCursor();
  if (cursor != nullptr)
    m_hHandCursor = static_cast<HCURSOR>(::CopyIcon(cursor));
  if (m_hHandCursor == nullptr)
    LoadHandCursor();
}

HCURSOR CLinkLabel::GetHandCursor() const { return m_hHandCursor; }

void CLinkLabel::ReleaseHandCursor() {
  if (m_hHandCursor != nullptr)
    ::DestroyCursor(m_hHandCursor);
  m_hHandCursor = nullptr;
}

BOOL CLinkLabel::OnSetCursor(HWND, UINT, UINT) {
  if (m_hHandCursor == nullptr)
    return FALSE;
  ::SetCursor(m_hHandCursor);
  return TRUE;
}
