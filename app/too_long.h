// The message for a path or command line that does not fit the program's buffers.
#pragma once

#include <windows.h>

// Shows "<text> は長すぎるため処理できません。" owned by window.
void ShowTooLong(HWND window, const char* text);
