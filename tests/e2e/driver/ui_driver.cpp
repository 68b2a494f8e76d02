#include "tests/e2e/driver/ui_driver.h"

#include "tests/e2e/driver/screen_capture.h"
#include "tests/support/wait_until.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <memory>
#include <sstream>

namespace {

std::string TestBin() {
  const char* bin = std::getenv("QUILLET_TEST_BIN");
  return bin != nullptr ? bin : ".";
}

void CopyOrFail(const std::string& from, const std::string& to) {
  if (!::CopyFileA(from.c_str(), to.c_str(), FALSE))
    std::fprintf(stderr, "cannot copy %s to %s\n", from.c_str(), to.c_str());
}

void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA fd;
  HANDLE h = ::FindFirstFileA((dir + "\\*").c_str(), &fd);
  if (h != INVALID_HANDLE_VALUE) {
    do {
      std::string name = fd.cFileName;
      if (name == "." || name == "..")
        continue;
      std::string path = dir + "\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(path.c_str());
      }
    } while (::FindNextFileA(h, &fd));
    ::FindClose(h);
  }
  ::RemoveDirectoryA(dir.c_str());
}

struct FindState {
  DWORD pid;
  std::string title;
  bool wantMessageBox;
  HWND found;
};

bool IsMessageBox(HWND hwnd) {
  return ClassName(hwnd) == "#32770" && ::GetDlgItem(hwnd, 0xFFFF) != nullptr;
}

BOOL CALLBACK FindProc(HWND hwnd, LPARAM lParam) {
  FindState* s = reinterpret_cast<FindState*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || !::IsWindowVisible(hwnd))
    return TRUE;
  if (s->wantMessageBox) {
    if (!IsMessageBox(hwnd))
      return TRUE;
  } else if (!s->title.empty() && WindowText(hwnd) != s->title) {
    return TRUE;
  }
  s->found = hwnd;
  return FALSE;
}

BOOL CALLBACK DescribeChild(HWND hwnd, LPARAM lParam) {
  std::string* out = reinterpret_cast<std::string*>(lParam);
  if (!::IsWindowVisible(hwnd))
    return TRUE;
  std::string text = WindowText(hwnd);
  if (!text.empty())
    *out +=
        "    [" + ClassName(hwnd) + " " + std::to_string(::GetDlgCtrlID(hwnd)) + "] " + text + "\n";
  return TRUE;
}

struct DescribeState {
  DWORD pid;
  std::string out;
};

BOOL CALLBACK DescribeTop(HWND hwnd, LPARAM lParam) {
  DescribeState* s = reinterpret_cast<DescribeState*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid != s->pid || !::IsWindowVisible(hwnd))
    return TRUE;
  s->out += "  window \"" + WindowText(hwnd) + "\" (" + ClassName(hwnd) + ")\n";
  ::EnumChildWindows(hwnd, DescribeChild, reinterpret_cast<LPARAM>(&s->out));
  return TRUE;
}

} // namespace

std::string TempRoot() {
  char temp[MAX_PATH] = {0};
  ::GetTempPathA(sizeof temp, temp);
  std::string root = std::string(temp) + "quillet-e2e";
  ::CreateDirectoryA(root.c_str(), nullptr);
  return root;
}

QuilletSandbox::QuilletSandbox(const std::string& name, bool withArchivers) {
  dir_ = TempRoot() + "\\" + name;
  RemoveTree(dir_);
  ::CreateDirectoryA(dir_.c_str(), nullptr);
  std::string bin = TestBin();
  CopyOrFail(bin + "\\Quillet.exe", Path("Quillet.exe"));
  if (withArchivers) {
    for (const char* dll : {"unlha32.dll", "7-Zip32.dll", "cab32.dll", "sfx_stub.exe"}) {
      std::string from = bin + "\\standin_archivers\\" + dll;
      if (FileExists(from))
        CopyOrFail(from, Path(dll));
    }
  }
}

QuilletSandbox::~QuilletSandbox() {
  if (std::getenv("QUILLET_KEEP_SANDBOX") == nullptr)
    RemoveTree(dir_);
}

void QuilletSandbox::WriteIni(const std::string& text) const { WriteFileText(IniPath(), text); }

std::string QuilletSandbox::ReadFileText(const std::string& path) const {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void QuilletSandbox::WriteFileText(const std::string& path, const std::string& text) const {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

std::vector<std::string> QuilletSandbox::ArchiverLog() const {
  std::vector<std::string> lines;
  std::stringstream ss(ReadFileText(ArchiverLogPath()));
  std::string line;
  while (std::getline(ss, line))
    lines.push_back(line);
  return lines;
}

void QuilletSandbox::RemoveArchiver(const char* dllName) const {
  ::DeleteFileA(Path(dllName).c_str());
}

QuilletProcess::~QuilletProcess() { Kill(); }

bool QuilletProcess::Start(const QuilletSandbox& sandbox, const std::string& args) {
  std::string exe = sandbox.Path("Quillet.exe");
  std::string cmd = "\"" + exe + "\"";
  if (!args.empty())
    cmd += " " + args;
  ::SetEnvironmentVariableA("QUILLET_ARCHIVER_LOG", sandbox.ArchiverLogPath().c_str());
  STARTUPINFOA si = {};
  si.cb = sizeof si;
  std::vector<char> line(cmd.begin(), cmd.end());
  line.push_back('\0');
  return ::CreateProcessA(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          sandbox.Dir().c_str(), &si, &pi_) != 0;
}

bool QuilletProcess::StartWide(const QuilletSandbox& sandbox, const std::wstring& args) {
  std::wstring exe = Widen(sandbox.Path("Quillet.exe"));
  std::wstring cmd = L"\"" + exe + L"\" " + args;
  ::SetEnvironmentVariableA("QUILLET_ARCHIVER_LOG", sandbox.ArchiverLogPath().c_str());
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  std::vector<wchar_t> line(cmd.begin(), cmd.end());
  line.push_back(L'\0');
  return ::CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          Widen(sandbox.Dir()).c_str(), &si, &pi_) != 0;
}

bool QuilletProcess::Running() const {
  return pi_.hProcess != nullptr && ::WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT;
}

int QuilletProcess::WaitForExit(DWORD timeoutMs) {
  if (pi_.hProcess == nullptr)
    return -1;
  if (::WaitForSingleObject(pi_.hProcess, timeoutMs) != WAIT_OBJECT_0)
    return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(pi_.hProcess, &code);
  return static_cast<int>(code);
}

void QuilletProcess::Kill() {
  if (pi_.hProcess == nullptr)
    return;
  if (Running()) {
    ::TerminateProcess(pi_.hProcess, 99);
    ::WaitForSingleObject(pi_.hProcess, 5000);
  }
  ::CloseHandle(pi_.hThread);
  ::CloseHandle(pi_.hProcess);
  pi_ = {};
}

HWND QuilletProcess::FindWindowTitled(const std::string& title) const {
  FindState s = {pi_.dwProcessId, title, false, nullptr};
  ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

std::vector<HWND> QuilletProcess::Windows() const {
  struct State {
    DWORD pid;
    std::vector<HWND> found;
  } state = {pi_.dwProcessId, {}};
  ::EnumWindows(
      [](HWND hwnd, LPARAM lParam) -> BOOL {
        State* s = reinterpret_cast<State*>(lParam);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(hwnd, &pid);
        if (pid == s->pid && ::IsWindowVisible(hwnd))
          s->found.push_back(hwnd);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&state));
  return state.found;
}

// A window found is ready once its thread takes messages: its initialisation is over.
HWND QuilletProcess::WaitForWindow(const std::string& title, DWORD timeoutMs) const {
  HWND h = nullptr;
  if (testwait::WaitUntil([&] { return (h = FindWindowTitled(title)) != nullptr; }, timeoutMs) &&
      testwait::Responds(h))
    return h;
  std::fprintf(stderr, "no window \"%s\" after %lu ms; on screen:\n%s", title.c_str(),
               static_cast<unsigned long>(timeoutMs), DescribeScreen().c_str());
  return nullptr;
}

HWND QuilletProcess::WaitForMessageBox(DWORD timeoutMs) const {
  FindState s = {pi_.dwProcessId, "", true, nullptr};
  testwait::WaitUntil(
      [&] {
        ::EnumWindows(FindProc, reinterpret_cast<LPARAM>(&s));
        return s.found != nullptr || !Running();
      },
      timeoutMs);
  if (s.found != nullptr && testwait::Responds(s.found))
    return s.found;
  std::fprintf(stderr, "no message box after %lu ms; on screen:\n%s",
               static_cast<unsigned long>(timeoutMs), DescribeScreen().c_str());
  return nullptr;
}

std::string QuilletProcess::DescribeScreen() const {
  DescribeState s = {pi_.dwProcessId, ""};
  ::EnumWindows(DescribeTop, reinterpret_cast<LPARAM>(&s));
  return s.out.empty() ? "  (no visible window)\n" : s.out;
}

// Texts cross the process boundary as UTF-16 (the ANSI forms are not converted
// reliably between processes) and are compared as code page 932, like the program's.
static std::string Narrow(const wchar_t* wide) {
  int n = ::WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 1), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, wide, -1, &out[0], n, nullptr, nullptr);
  out.resize(std::strlen(out.c_str()));
  return out;
}

std::wstring Widen(const std::string& text) {
  int n = ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 1), L'\0');
  ::MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &out[0], n);
  out.resize(wcslen(out.c_str()));
  return out;
}

std::string WindowText(HWND hwnd) {
  std::vector<wchar_t> buf(8192, L'\0');
  ::SendMessageTimeoutW(hwnd, WM_GETTEXT, buf.size() - 1, reinterpret_cast<LPARAM>(buf.data()),
                        SMTO_ABORTIFHUNG, 5000, nullptr);
  return Narrow(buf.data());
}

std::string ControlText(HWND dialog, int id) { return WindowText(::GetDlgItem(dialog, id)); }

std::string MessageBoxText(HWND box) { return ControlText(box, 0xFFFF); }

std::wstring MessageBoxTextW(HWND box) {
  std::vector<wchar_t> buf(8192, L'\0');
  ::SendMessageTimeoutW(::GetDlgItem(box, 0xFFFF), WM_GETTEXT, buf.size() - 1,
                        reinterpret_cast<LPARAM>(buf.data()), SMTO_ABORTIFHUNG, 5000, nullptr);
  return buf.data();
}

std::string ClassName(HWND hwnd) {
  char buf[256] = {0};
  ::GetClassNameA(hwnd, buf, sizeof buf);
  return buf;
}

void PressButton(HWND dialog, int id) {
  ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, id)));
}

void PressEscape(HWND dialog) { ::PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 1); }

void SetChecked(HWND dialog, int id, bool checked) {
  ::SendMessageA(::GetDlgItem(dialog, id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool IsChecked(HWND dialog, int id) {
  return ::SendMessageA(::GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetEditText(HWND dialog, int id, const std::string& text) {
  std::wstring wide = Widen(text);
  ::SendMessageW(::GetDlgItem(dialog, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()));
}

void SelectListRow(HWND dialog, int id, int row) {
  ::SendMessageA(::GetDlgItem(dialog, id), CB_SETCURSEL, static_cast<WPARAM>(row), 0);
}

int SelectedListRow(HWND dialog, int id) {
  return static_cast<int>(::SendMessageA(::GetDlgItem(dialog, id), CB_GETCURSEL, 0, 0));
}

std::vector<std::string> ListRows(HWND dialog, int id) {
  HWND list = ::GetDlgItem(dialog, id);
  std::vector<std::string> rows;
  int n = static_cast<int>(::SendMessageA(list, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    int len = static_cast<int>(::SendMessageW(list, CB_GETLBTEXTLEN, i, 0));
    std::vector<wchar_t> buf(static_cast<size_t>(len > 0 ? len : 0) + 64, L'\0');
    ::SendMessageW(list, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(buf.data()));
    rows.push_back(Narrow(buf.data()));
  }
  return rows;
}

void Scroll(HWND dialog, int scrollBarId, int code, int thumbPosition) {
  ::SendMessageA(dialog, WM_HSCROLL, MAKEWPARAM(code, thumbPosition),
                 reinterpret_cast<LPARAM>(::GetDlgItem(dialog, scrollBarId)));
}

int ScrollPosition(HWND dialog, int scrollBarId) {
  return ::GetScrollPos(::GetDlgItem(dialog, scrollBarId), SB_CTL);
}

namespace {

// The HDROP reaches a 32-bit Quillet as a 32-bit handle: its block must lie where a 32-bit
// program can read it, which VirtualAllocEx does not promise when a 64-bit driver asks on
// behalf of another process. The first free megabyte from 256 MB up is taken.
void* AllocateBelow2Gb(HANDLE process, size_t size) {
  for (uintptr_t at = 0x10000000; at < 0x7ff00000; at += 0x100000) {
    void* block = ::VirtualAllocEx(process, reinterpret_cast<void*>(at), size,
                                   MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (block != nullptr)
      return block;
  }
  return nullptr;
}

} // namespace

bool DropFiles(HWND window, const std::vector<std::string>& paths) {
  std::string list;
  for (const std::string& p : paths)
    list += p + '\0';
  list += '\0';
  DROPFILES header = {};
  header.pFiles = sizeof header;
  header.fWide = FALSE;
  std::string record(reinterpret_cast<const char*>(&header), sizeof header);
  record += list;

  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
  const char* failed = nullptr;
  void* remote = nullptr;
  if (process == nullptr)
    failed = "OpenProcess";
  else if ((remote = AllocateBelow2Gb(process, record.size())) == nullptr)
    failed = "VirtualAllocEx";
  else if (!::WriteProcessMemory(process, remote, record.data(), record.size(), nullptr))
    failed = "WriteProcessMemory";
  else if (!::PostMessageA(window, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0))
    failed = "PostMessageA";
  if (failed != nullptr)
    std::fprintf(stderr, "dropping files: %s failed (error %lu)\n", failed, ::GetLastError());
  if (process != nullptr)
    ::CloseHandle(process);
  return failed == nullptr;
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

bool FileExists(const std::string& path) {
  return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsFolder(const std::string& path) {
  DWORD a = ::GetFileAttributesA(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string IniValue(const std::string& iniPath, const char* section, const char* key) {
  char value[4096] = {0};
  ::GetPrivateProfileStringA(section, key, "<missing>", value, sizeof value, iniPath.c_str());
  return value;
}

bool SaveScreenshot(HWND window, const std::string& name) {
  RECT r;
  if (!::GetWindowRect(window, &r))
    return false;
  ::SetForegroundWindow(window);
  ::RedrawWindow(window, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN | RDW_FRAME);
  // Taken once the window has painted and the screen has shown the same picture for a
  // while: what Wine painted reaches the screen a little later.
  testwait::WaitUntil([&] { return ::GetUpdateRect(window, nullptr, FALSE) == FALSE; });
  std::unique_ptr<ScreenCapture> shot(new ScreenCapture(r));
  testwait::WaitUntil(
      [&] {
        std::unique_ptr<ScreenCapture> now(new ScreenCapture(r));
        const bool settled = now->Same(*shot);
        shot = std::move(now);
        return settled;
      },
      testwait::kDeadlineMs, 150);
  std::string dir = TestBin() + "\\screenshots";
  ::CreateDirectoryA(dir.c_str(), nullptr);
  return shot->Ok() && shot->SaveBmp(dir + "\\" + name + ".bmp");
}
