#include "tests/win/support/args_record.h"
#include "tests/win/support/message_box_watch.h"

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
  for (DWORD waited = 0; waited <= timeoutMs; waited += 50) {
    std::ifstream in(path_, std::ios::binary);
    if (in) {
      std::ostringstream text;
      text << in.rdbuf();
      return text.str();
    }
    ::Sleep(50);
  }
  return "<nothing recorded>";
}

std::string ArgsRecorderPath() { return WindowsPath(QUILLET_ARGS_RECORDER); }
