// Making an archive of one file or folder through the format's library.
#pragma once

#include <windows.h>

// Each returns 0 once the library has been called, 1 when it is missing or the command
// would not fit its buffer (a message has been shown either way).
int CompressLha(HWND window, const char* source, const char* archive, int isFolder);
int CompressSevenZip(HWND window, const char* source, const char* archive, const char* typeName,
                     int isFolder);
int CompressCab(HWND window, const char* source, const char* archive, int isFolder);
int CompressLhaSfx(HWND window, const char* source, const char* archive, int isFolder,
                   const char* tempArchive);
int CompressCabSfx(HWND window, const char* source, const char* archive, int isFolder,
                   const char* tempArchive);
