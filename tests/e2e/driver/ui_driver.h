// Drives the real Quillet.exe as a person would: start it with items, find its windows,
// read their text, press their buttons, drop files on it. Every wait has a timeout;
// a failed wait reports what was on screen.
#pragma once

#include <windows.h>

#include "res/version.h"

#include <string>
#include <vector>

// A scratch folder with its own copy of Quillet.exe (and, when asked, the stand-in
// archiver libraries), so each test has its own Quillet.ini.
class QuilletSandbox {
 public:
  explicit QuilletSandbox(const std::string& name, bool withArchivers = true);
  ~QuilletSandbox();

  const std::string& Dir() const { return dir_; }
  std::string Path(const std::string& relative) const { return dir_ + "\\" + relative; }
  std::string IniPath() const { return Path("Quillet.ini"); }
  std::string ArchiverLogPath() const { return Path("archiver.log"); }

  void WriteIni(const std::string& text) const;
  std::string ReadFileText(const std::string& path) const;
  void WriteFileText(const std::string& path, const std::string& text) const;
  // Every command the stand-in archivers received, one line each: entry TAB command.
  std::vector<std::string> ArchiverLog() const;
  void RemoveArchiver(const char* dllName) const;

 private:
  std::string dir_;
};

class QuilletProcess {
 public:
  ~QuilletProcess();
  // Starts Quillet.exe from the sandbox with args appended after the program's path.
  bool Start(const QuilletSandbox& sandbox, const std::string& args = "");
  // The same through CreateProcessW, for names no ANSI command line can carry.
  bool StartWide(const QuilletSandbox& sandbox, const std::wstring& args);
  DWORD Pid() const { return pi_.dwProcessId; }
  bool Running() const;
  // Exit status, or -1 when the program is still running after timeoutMs.
  int WaitForExit(DWORD timeoutMs = 20000);
  void Kill();

  // A visible top-level window of the program whose title equals title (any when empty).
  HWND FindWindowTitled(const std::string& title) const;
  // Every visible top-level window of the program, topmost first.
  std::vector<HWND> Windows() const;
  HWND WaitForWindow(const std::string& title, DWORD timeoutMs = 20000) const;
  // A message box (a #32770 dialog with a message text) of the program.
  HWND WaitForMessageBox(DWORD timeoutMs = 20000) const;
  HWND MainWindow(DWORD timeoutMs = 20000) const {
    return WaitForWindow("Quillet ver." QUILLET_VERSION_TEXT, timeoutMs);
  }
  // Every visible window of the program with its texts, for failure messages.
  std::string DescribeScreen() const;

 private:
  PROCESS_INFORMATION pi_ = {};
};

std::string WindowText(HWND hwnd);
std::string ControlText(HWND dialog, int id);
std::string MessageBoxText(HWND box);
std::wstring MessageBoxTextW(HWND box);
std::wstring Widen(const std::string& text);
std::string ClassName(HWND hwnd);
// Presses a dialog's button as a click does: the dialog gets the button's command.
void PressButton(HWND dialog, int id);
void PressEscape(HWND dialog);
void SetChecked(HWND dialog, int id, bool checked);
void SetEditText(HWND dialog, int id, const std::string& text);
void SelectListRow(HWND dialog, int id, int row);
int SelectedListRow(HWND dialog, int id);
std::vector<std::string> ListRows(HWND dialog, int id);
bool IsChecked(HWND dialog, int id);
// A scroll bar moved as the user's mouse would move it.
void Scroll(HWND dialog, int scrollBarId, int code, int thumbPosition = 0);
int ScrollPosition(HWND dialog, int scrollBarId);
// Drops the paths on the window through its real WM_DROPFILES handling: the drop
// record is built in the receiving process, as the shell does.
bool DropFiles(HWND window, const std::vector<std::string>& paths);

// Saves what the screen shows of the window as <test binaries>\screenshots\<name>.bmp.
bool SaveScreenshot(HWND window, const std::string& name);

// A path in double quotes, as on a command line.
std::string Quoted(const std::string& path);

bool FileExists(const std::string& path);
bool IsFolder(const std::string& path);
std::string TempRoot();
// A value of the INI file as the profile functions read it; "<missing>" when absent.
std::string IniValue(const std::string& iniPath, const char* section, const char* key);
