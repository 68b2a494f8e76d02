#include <windows.h>

#include <tlhelp32.h>

#include "tests/unit/support/machine_tools.h"

#include <cstdio>
#include <fstream>
#include <iterator>

// Under Wine a Windows program may start a Linux program, but gets neither a handle to wait
// on nor its exit status, and pipes do not reach it: the command runs in /bin/sh, which
// writes the output and then the status to files that are polled for.

namespace imgtest {

namespace {

typedef char*(__cdecl* UnixNameFn)(const WCHAR*);
typedef WCHAR*(__cdecl* DosNameFn)(const char*);

// Wine's own kernel32 entries; none on Windows itself.
void* WineEntry(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel != nullptr ? reinterpret_cast<void*>(GetProcAddress(kernel, name)) : nullptr;
}

// The Windows name of a Linux path, in the ANSI code page; empty without Wine.
std::string DosName(const char* unixPath) {
  const DosNameFn dosName = reinterpret_cast<DosNameFn>(WineEntry("wine_get_dos_file_name"));
  if (dosName == nullptr)
    return "";
  WCHAR* wide = dosName(unixPath);
  if (wide == nullptr)
    return "";
  char narrow[MAX_PATH * 2];
  const int n = WideCharToMultiByte(CP_ACP, 0, wide, -1, narrow, sizeof narrow, nullptr, nullptr);
  HeapFree(GetProcessHeap(), 0, wide);
  return n > 0 ? std::string(narrow) : std::string();
}

std::string ShellQuote(const std::string& s) {
  std::string out = "'";
  for (char c : s)
    out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// One argument of a Windows command line, as the C runtime splits them again.
std::string ArgQuote(const std::string& s) {
  std::string out = "\"";
  size_t slashes = 0;
  for (char c : s) {
    if (c == '\\') {
      ++slashes;
      continue;
    }
    out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
    slashes = 0;
    out += c;
  }
  out.append(slashes * 2, '\\');
  return out + "\"";
}

bool ReadWhole(const std::string& path, std::vector<unsigned char>* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in)
    return false;
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

} // namespace

int RunShell(const std::string& command, std::vector<unsigned char>* out) {
  const std::string shell = DosName("/bin/sh");
  if (shell.empty() || GetFileAttributesA(shell.c_str()) == INVALID_FILE_ATTRIBUTES)
    return -1;
  char folder[MAX_PATH];
  if (GetTempPathA(sizeof folder, folder) == 0)
    return -1;
  static int counter = 0;
  const std::string stem = std::string(folder) + "quillet-tool-" + std::to_string(ProcessId()) +
                           "-" + std::to_string(++counter);
  const std::string output = stem + ".out", status = stem + ".status";
  const std::string unixOutput = ToolPath(output), unixStatus = ToolPath(status);
  if (unixOutput.empty() || unixStatus.empty())
    return -1;
  // The status file appears whole, by renaming, only once the command has ended.
  const std::string script = "PATH=/usr/local/bin:/usr/bin:/bin; export PATH; { " + command +
                             "\n} >" + ShellQuote(unixOutput) + "; echo $? >" +
                             ShellQuote(unixStatus + ".tmp") + " && mv " +
                             ShellQuote(unixStatus + ".tmp") + " " + ShellQuote(unixStatus);
  std::string line = ArgQuote(shell) + " -c " + ArgQuote(script);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process))
    return -1;
  if (process.hThread != nullptr)
    CloseHandle(process.hThread);
  if (process.hProcess != nullptr)
    CloseHandle(process.hProcess);
  const DWORD start = GetTickCount();
  while (GetFileAttributesA(status.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > 300000)
      return -1;
    Sleep(5);
  }
  std::vector<unsigned char> text;
  int result = -1;
  if (ReadWhole(status, &text)) {
    text.push_back(0);
    if (std::sscanf(reinterpret_cast<const char*>(text.data()), "%d", &result) != 1)
      result = -1;
  }
  if (out != nullptr && !ReadWhole(output, out))
    result = -1;
  DeleteFileA(output.c_str());
  DeleteFileA(status.c_str());
  return result;
}

std::string ToolPath(const std::string& path) {
  const UnixNameFn unixName = reinterpret_cast<UnixNameFn>(WineEntry("wine_get_unix_file_name"));
  if (unixName == nullptr)
    return "";
  WCHAR wide[MAX_PATH * 2];
  if (MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH * 2) == 0)
    return "";
  char* name = unixName(wide);
  if (name == nullptr)
    return "";
  const std::string result(name);
  HeapFree(GetProcessHeap(), 0, name);
  return result;
}

int OpenFileCount() { return -1; }

int ThreadCount() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE)
    return -1;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  int n = 0;
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry))
    n += entry.th32OwnerProcessID == GetCurrentProcessId() ? 1 : 0;
  CloseHandle(snapshot);
  return n;
}

int ProcessId() { return static_cast<int>(GetCurrentProcessId()); }

} // namespace imgtest
