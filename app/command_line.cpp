// Items on the program's command line: the shell puts them there when files are
// dropped on the program's icon. The line is read in UTF-16, so any number of items fits
// and a name the ANSI line would have bent into another is seen for what it is.
#include "app/settings_dlg.h"

#include "app/batch_progress.h"
#include "base/command_line_tokens.h"
#include "win/cp932_names.h"
#include "win/messages.h"
#include "win/resolve_long_path.h"

#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {
// The long form of one item.
const size_t kResolvedSize = 3500;
} // namespace

// 0 when the batch may go on with the next item; 1 when it stops (a message was shown).
int CSettingsDlg::ProcessCommandLineItem(const wchar_t* item) {
  std::string path;
  if (!ToUsablePath(item, &path)) {
    ShowUnusableName(m_hWnd, item);
    return 1;
  }
  if (std::wcslen(item) >= MAX_PATH) {
    ShowTooLong(m_hWnd, path.c_str());
    return 1;
  }
  char resolved[kResolvedSize];
  if (!ResolveLongPath(path.c_str(), resolved, sizeof resolved)) {
    ShowNotFound(m_hWnd, path.c_str());
    return 1;
  }
  return ProcessItem(resolved);
}

void CSettingsDlg::ProcessCommandLineItems(const wchar_t* line, int count) {
  CBatchProgress batch(this, count - 1);
  m_pBatch = &batch;
  std::vector<wchar_t> token(std::wcslen(line) + 1);
  for (int n = 2; n <= count; ++n) {
    if (!GetToken(line, n, token.data(), token.size()))
      break;
    batch.BeginItem(n - 1, token.data());
    const int result = ProcessCommandLineItem(token.data());
    batch.EndItem();
    // 中止 counts as a stop, after the item it came in.
    if (result != 0 || batch.StopWanted())
      break;
  }
  m_pBatch = nullptr;
}

// Runs inside the first paint; the paints the batch handles on the way find the intake done.
void CSettingsDlg::ProcessCommandLine() {
  const wchar_t* line = ::GetCommandLineW();
  const int count = CountTokens(line);
  if (count < 2)
    return;
  ProcessCommandLineItems(line, count);
  std::exit(0);
}
