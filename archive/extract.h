// Extracting an archive into its destination folder through its library.
#pragma once

#include <windows.h>

#include <cstddef>

// The destination folder (always ending in a backslash) into out; with makeDir the
// folder named after the archive is created (one level, outcome not looked at).
// 1 on success; 0 when the result would not fit out; -1, with nothing created, when out
// holds a name Windows would misread (pack..zip would extract into pack.).
int MakeExtractDir(const char* archivePath, const char* outputDir, int outputType, int makeDir,
                   char* out, size_t outSize);

// 0: the library was called; 1: it is missing (its message shown) or the command
// would not fit its buffer (message shown).
int ExtractLha(HWND window, const char* archivePath, const char* destDir);
int ExtractSevenZip(HWND window, const char* archivePath, const char* destDir);
int ExtractCab(HWND window, const char* archivePath, const char* destDir);
