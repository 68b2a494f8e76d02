// The file that the args_recorder stand-in writes its command line to: fresh for each
// test, named to the programs it starts through the environment they inherit.
#pragma once

#include <windows.h>

#include <string>

class ArgsRecord {
 public:
  explicit ArgsRecord(const char* name);
  ~ArgsRecord();
  ArgsRecord(const ArgsRecord&) = delete;
  ArgsRecord& operator=(const ArgsRecord&) = delete;

  // The recorded command line, or "<nothing recorded>" when none came within timeoutMs.
  std::string Wait(DWORD timeoutMs = 15000) const;

 private:
  std::string path_;
};

// The stand-in browser's Windows path.
std::string ArgsRecorderPath();
