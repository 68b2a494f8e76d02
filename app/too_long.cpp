#include "app/too_long.h"

#include <string>

void ShowTooLong(HWND window, const char* text) {
  std::string message = std::string(text) + " は長すぎるため処理できません。";
  ::MessageBoxA(window, message.c_str(), "Quillet", MB_OK | MB_ICONEXCLAMATION);
}
