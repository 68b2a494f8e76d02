#include "tests/win/support/message_box_watch.h"

#include "tests/support/wait_until.h"

namespace {

struct Found {
  DWORD pid;
  HWND box;
};

BOOL CALLBACK FindBox(HWND hwnd, LPARAM lParam) {
  Found* f = reinterpret_cast<Found*>(lParam);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  char cls[64] = {0};
  ::GetClassNameA(hwnd, cls, sizeof cls);
  if (pid == f->pid && ::IsWindowVisible(hwnd) && std::string(cls) == "#32770" &&
      ::GetDlgItem(hwnd, 0xFFFF) != nullptr) {
    f->box = hwnd;
    return FALSE;
  }
  return TRUE;
}

} // namespace

MessageBoxWatch::MessageBoxWatch(int answer)
    : answer_(answer), thread_(&MessageBoxWatch::Run, this) {}

MessageBoxWatch::~MessageBoxWatch() {
  stop_ = true;
  thread_.join();
}

std::vector<SeenMessage> MessageBoxWatch::Seen() {
  std::lock_guard<std::mutex> lock(mutex_);
  return seen_;
}

void MessageBoxWatch::Run() {
  for (;;) {
    Found f = {::GetCurrentProcessId(), nullptr};
    testwait::WaitUntil(
        [&] {
          ::EnumWindows(FindBox, reinterpret_cast<LPARAM>(&f));
          return f.box != nullptr || stop_;
        },
        INFINITE);
    if (f.box == nullptr)
      return;
    char title[256] = {0};
    char text[1024] = {0};
    ::GetWindowTextA(f.box, title, sizeof title);
    ::GetWindowTextA(::GetDlgItem(f.box, 0xFFFF), text, sizeof text);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      seen_.push_back({title, text});
    }
    ::PostMessageA(f.box, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED),
                   reinterpret_cast<LPARAM>(::GetDlgItem(f.box, answer_)));
    // Gone before the next look, so that no box is seen twice.
    testwait::WaitUntil([&] { return !::IsWindowVisible(f.box); });
  }
}

std::string WindowsPath(const char* buildPath) {
  // The build runs on Linux; Wine shows its root as drive Z:.
  std::string path = std::string("Z:") + buildPath;
  for (char& c : path)
    if (c == '/')
      c = '\\';
  return path;
}
