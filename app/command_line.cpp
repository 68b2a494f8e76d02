// Items on the program's command line: the shell puts them there when files are
// dropped on the program's icon.
#include "app/settings_dlg.h"

#include "base/command_line_tokens.h"
#include "win/messages.h"
#include "win/resolve_long_path.h"

#include <cstdlib>
#include <cstring>

namespace {
const size_t kCommandLineSize = 3500;

// The command line, refused when it would not fit the intake's buffer.
bool CopyCommandLine(char* copy) {
  const char* line = ::GetCommandLineA();
  if (std::strlen(line) >= kCommandLineSize)
    return false;
  std::strcpy(copy, line);
  return true;
}

int CountCommandLineTokens() {
  char copy[kCommandLineSize];
  if (!CopyCommandLine(copy))
    return 0;
  return CountTokens(copy);
}

void GetCommandLineToken(char* out, int n) {
  char copy[kCommandLineSize];
  out[0] = '\0';
  if (CopyCommandLine(copy))
    GetToken(copy, n, out, kCommandLineSize);
}
} // namespace

void CSettingsDlg::ProcessCommandLine() {
  if (std::strlen(::GetCommandLineA()) >= kCommandLineSize) {
    ShowTooLong(m_hWnd, ::GetCommandLineA());
    std::exit(0);
  }
  int count = CountCommandLineTokens();
  if (count < 2)
    return;
  for (int n = 2; n <= count; ++n) {
    char token[kCommandLineSize];
    char resolved[kCommandLineSize];
    GetCommandLineToken(token, n);
    if (::MultiByteToWideChar(CP_ACP, 0, token, -1, nullptr, 0) > MAX_PATH) {
      ShowTooLong(m_hWnd, token);
      break;
    }
    if (!ResolveLongPath(token, resolved, sizeof resolved))
      break;
    if (ProcessItem(resolved) != 0)
      break;
  }
  std::exit(0);
}
