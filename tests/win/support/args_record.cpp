#include "tests/win/support/args_record.h"
#include "tests/win/support/message_box_watch.h"

#include "tests/support/wait_until.h"

#include <fstream>
#include <sstream>

ArgsRecord::ArgsRecord(const char* name) {
  char temp[MAX_PATH] = {0};
  ::GetTempPathA(sizeof temp, temp);
  path_ = std::string(temp) + "quillet-args-" + name + ".txt";
  ::DeleteFileA(path_.c_str());
  ::SetEnvironmentVariableA("QUILLET_ARGS_RECORD", path_.c_str());
}

ArgsRecord::~ArgsRecord() {
  ::SetEnvironmentVariableA("QUILLET_ARGS_RECORD", nullptr);
  ::DeleteFileA(path_.c_str());
}

std::string ArgsRecord::Wait(DWORD timeoutMs) const {
  std::string recorded = "<nothing recorded>";
  testwait::WaitUntil(
      [&] {
        std::ifstream in(path_, std::ios::binary);
        if (!in)
          return false;
        std::ostringstream text;
        text << in.rdbuf();
        recorded = text.str();
        return true;
      },
      timeoutMs);
  return recorded;
}

std::string ArgsRecorderPath() { return WindowsPath(QUILLET_ARGS_RECORDER); }
