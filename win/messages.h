// The program's own message boxes: title "Quillet", an exclamation icon, owned by window.
// (The framework's AfxMessageBox, used for a missing archiver library and by the link
// control, is titled with the program file's name instead, as the framework does.)
#pragma once

#include <windows.h>

// Shows text with OK: the batch stops after it.
void ShowStop(HWND window, const char* text);

// Asks text with Yes and No; IDYES or IDNO.
int AskYesNo(HWND window, const char* text);

// Shows "<text> は長すぎるため処理できません。".
void ShowTooLong(HWND window, const char* text);
