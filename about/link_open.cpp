// Opening the link's target: the shell first, then the program registered for web pages.
#include "about/link_label.h"
#include "about/open_command.h"
#include "about/open_error_text.h"

#include <shellapi.h>

#include <climits>
#include <cstring>

namespace {

// What the fallback answers when it started the registered program.
const int kStartedRegisteredProgram = 33;
const size_t kKeySize = 520;
const size_t kValueSize = 260;

} // namespace

void CLinkLabel::OnClicked() {
  int result = OpenTarget(m_strTarget.c_str(), SW_SHOW);
  m_bOpened = result > 32;
  if (result > 32) {
    SetOpened(TRUE);
    return;
  }
  ::MessageBeep(MB_ICONEXCLAMATION);
  ReportOpenError(result);
}

int CLinkLabel::OpenTarget(const char* address, int showCommand) {
  UINT_PTR shell = reinterpret_cast<UINT_PTR>(
      ::ShellExecuteA(nullptr, "open", address, nullptr, nullptr, showCommand));
  if (shell > 32)
    return shell > INT_MAX ? INT_MAX : static_cast<int>(shell);
  int result = static_cast<int>(shell);

  char key[kKeySize] = {0};
  if (ReadRegistryDefault(HKEY_CLASSES_ROOT, ".htm", key, sizeof key) != ERROR_SUCCESS)
    return result;
  const char verb[] = "\\shell\\open\\command";
  size_t length = std::strlen(key);
  if (length + sizeof verb > sizeof key)
    return result;
  std::memcpy(key + length, verb, sizeof verb);
  if (ReadRegistryDefault(HKEY_CLASSES_ROOT, key, key, sizeof key) != ERROR_SUCCESS)
    return result;

  char commandLine[kKeySize];
  if (!ComposeOpenCommand(key, address, commandLine, sizeof commandLine))
    return 0;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!::CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
    return 0;
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return kStartedRegisteredProgram;
}

long CLinkLabel::ReadRegistryDefault(HKEY root, const char* subkey, char* out, size_t outSize) {
  HKEY key = nullptr;
  LONG error = ::RegOpenKeyExA(root, subkey, 0, KEY_QUERY_VALUE, &key);
  if (error != ERROR_SUCCESS)
    return error;
  // One byte beyond what the registry may fill keeps the value terminated.
  char value[kValueSize + 1] = {0};
  LONG size = static_cast<LONG>(kValueSize);
  error = ::RegQueryValueA(key, nullptr, value, &size);
  ::RegCloseKey(key);
  if (error != ERROR_SUCCESS)
    return error;
  size_t length = std::strlen(value);
  if (length >= outSize)
    return ERROR_MORE_DATA;
  std::memcpy(out, value, length + 1);
  return ERROR_SUCCESS;
}

void CLinkLabel::ReportOpenError(int code) {
  AfxMessageBox(OpenErrorText(code).c_str(), MB_ICONEXCLAMATION);
}
