#include "tests/unit/support/machine_tools.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace imgtest {

namespace fs = std::filesystem;

int RunShell(const std::string& command, std::vector<unsigned char>* out) {
  if (out == nullptr) {
    const int status = std::system(command.c_str());
    return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  out->clear();
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr)
    return -1;
  unsigned char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    out->insert(out->end(), buffer, buffer + n);
  const int status = pclose(pipe);
  return status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string ToolPath(const std::string& path) { return path; }

namespace {

int EntriesIn(const char* folder) {
  std::error_code ec;
  if (!fs::is_directory(folder, ec))
    return -1;
  int n = 0;
  for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
       it.increment(ec))
    ++n;
  return n;
}

} // namespace

int OpenFileCount() { return EntriesIn("/proc/self/fd"); }

int ThreadCount() { return EntriesIn("/proc/self/task"); }

int ProcessId() { return static_cast<int>(getpid()); }

} // namespace imgtest
