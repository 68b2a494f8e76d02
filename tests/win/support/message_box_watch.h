// Answers the message boxes a test provokes in its own process, as a user would, and
// remembers what they said. Boxes that nobody expected are answered too, so no test
// can hang on one.
#pragma once

#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct SeenMessage {
  std::string title;
  std::string text;
};

class MessageBoxWatch {
 public:
  explicit MessageBoxWatch(int answer = IDOK);
  ~MessageBoxWatch();
  std::vector<SeenMessage> Seen();

 private:
  void Run();
  int answer_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<SeenMessage> seen_;
  std::thread thread_;
};

// A path under the test binary's folder, turned from the build's path into the one
// Windows sees.
std::string WindowsPath(const char* buildPath);
