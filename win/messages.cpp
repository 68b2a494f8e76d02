#include "win/messages.h"

#include "win/cp932_names.h"

#include <string>

namespace {
const char kTitle[] = "Quillet";
const wchar_t kWideTitle[] = L"Quillet";
} // namespace

void ShowStop(HWND window, const char* text) {
  ::MessageBoxA(window, text, kTitle, MB_OK | MB_ICONEXCLAMATION);
}

int AskYesNo(HWND window, const char* text) {
  return ::MessageBoxA(window, text, kTitle, MB_YESNO | MB_ICONEXCLAMATION);
}

int AskOverwrite(HWND window, const char* path) {
  return AskYesNo(window, (std::string(path) + " は既に存在します。\n上書きしますか?").c_str());
}

void ShowTooLong(HWND window, const char* text) {
  ShowStop(window, (std::string(text) + " は長すぎるため処理できません。").c_str());
}

void ShowNotFound(HWND window, const char* item) {
  ShowStop(window, (std::string(item) + " が見つかりません。").c_str());
}

void ShowUnusableName(HWND window, const wchar_t* path) {
  const std::wstring text = std::wstring(path) + L" は名前に扱えない文字を含むため処理できません。";
  ::MessageBoxW(window, text.c_str(), kWideTitle, MB_OK | MB_ICONEXCLAMATION);
}

void ShowUnusableName(HWND window, const char* path) {
  ShowUnusableName(window, ToWide(path).c_str());
}

void ShowSwitchLikeName(HWND window, const char* path) {
  ShowStop(window,
           (std::string(path) + " は名前が「-」か「@」で始まるため圧縮できません。").c_str());
}
