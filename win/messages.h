// The program's own message boxes: title "Quillet", an exclamation icon, owned by window.
// (The framework's AfxMessageBox, used for a missing archiver library and by the link
// control, is titled with the program file's name instead, as the framework does.)
#pragma once

#include <windows.h>

// Shows text with OK: the batch stops after it.
void ShowStop(HWND window, const char* text);

// Asks text with Yes and No: IDYES when the user said Yes. Anything else (IDNO, Esc, the
// close box, 0 for a box that could not be shown) is no.
int AskYesNo(HWND window, const char* text);

// Asks "<path> は既に存在します。\n上書きしますか?" as AskYesNo does.
int AskOverwrite(HWND window, const char* path);

// Shows "<text> は長すぎるため処理できません。".
void ShowTooLong(HWND window, const char* text);

// Shows "<item> が見つかりません。": the item names no file or folder the program can use.
void ShowNotFound(HWND window, const char* item);

// Shows "<path> は名前に扱えない文字を含むため処理できません。" in UTF-16, so the name is
// shown whole even though the program cannot work on it.
void ShowUnusableName(HWND window, const wchar_t* path);
// The same for an ANSI path: one the program built, or was given, that Windows would misread.
void ShowUnusableName(HWND window, const char* path);

// Shows "<path> は名前が「-」か「@」で始まるため圧縮できません。": an archiver would read such a
// bare name as a switch or a list file.
void ShowSwitchLikeName(HWND window, const char* path);
