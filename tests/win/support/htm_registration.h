// Points HKEY_CLASSES_ROOT\.htm at a program class of the test's own for as long as it
// lives, and puts back exactly what was there before.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class HtmRegistration {
 public:
  HtmRegistration();
  ~HtmRegistration();
  HtmRegistration(const HtmRegistration&) = delete;
  HtmRegistration& operator=(const HtmRegistration&) = delete;

  // Web pages open with command (its shell\open\command).
  bool Register(const std::string& command);
  // Web pages belong to a class that has no open command.
  bool RegisterWithoutCommand();

 private:
  bool SetHtmClass(const char* progId);
  bool existed_ = false;
  bool hadDefault_ = false;
  DWORD defaultType_ = REG_SZ;
  std::vector<BYTE> defaultValue_;
};
