#include "win/messages.h"

#include <string>

namespace {
const char kTitle[] = "Quillet";
} // namespace

void ShowStop(HWND window, const char* text) {
  ::MessageBoxA(window, text, kTitle, MB_OK | MB_ICONEXCLAMATION);
}

int AskYesNo(HWND window, const char* text) {
  return ::MessageBoxA(window, text, kTitle, MB_YESNO | MB_ICONEXCLAMATION);
}

void ShowTooLong(HWND window, const char* text) {
  ShowStop(window, (std::string(text) + " は長すぎるため処理できません。").c_str());
}
