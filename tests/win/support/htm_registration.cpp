#include "tests/win/support/htm_registration.h"

namespace {

const char kProgId[] = "QuilletTest.Browser";
const char kCommandlessProgId[] = "QuilletTest.NoBrowser";

bool SetDefault(const char* subkey, const std::string& value) {
  return ::RegSetValueA(HKEY_CLASSES_ROOT, subkey, REG_SZ, value.c_str(),
                        static_cast<DWORD>(value.size())) == ERROR_SUCCESS;
}

void DeleteClass(const std::string& progId) {
  for (const char* tail : {"\\shell\\open\\command", "\\shell\\open", "\\shell", ""})
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, (progId + tail).c_str());
}

} // namespace

HtmRegistration::HtmRegistration() {
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, ".htm", 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return;
  existed_ = true;
  DWORD size = 0;
  if (::RegQueryValueExA(key, nullptr, nullptr, &defaultType_, nullptr, &size) == ERROR_SUCCESS) {
    defaultValue_.resize(size);
    hadDefault_ = ::RegQueryValueExA(key, nullptr, nullptr, &defaultType_, defaultValue_.data(),
                                     &size) == ERROR_SUCCESS;
    defaultValue_.resize(size);
  }
  ::RegCloseKey(key);
}

HtmRegistration::~HtmRegistration() {
  DeleteClass(kProgId);
  DeleteClass(kCommandlessProgId);
  if (!existed_) {
    ::RegDeleteKeyA(HKEY_CLASSES_ROOT, ".htm");
    return;
  }
  HKEY key = nullptr;
  if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, ".htm", 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  if (hadDefault_)
    ::RegSetValueExA(key, nullptr, 0, defaultType_, defaultValue_.data(),
                     static_cast<DWORD>(defaultValue_.size()));
  else
    ::RegDeleteValueA(key, nullptr);
  ::RegCloseKey(key);
}

bool HtmRegistration::SetHtmClass(const char* progId) { return SetDefault(".htm", progId); }

bool HtmRegistration::Register(const std::string& command) {
  return SetDefault((std::string(kProgId) + "\\shell\\open\\command").c_str(), command) &&
         SetHtmClass(kProgId);
}

bool HtmRegistration::RegisterWithoutCommand() {
  return SetDefault(kCommandlessProgId, "no command") && SetHtmClass(kCommandlessProgId);
}
