// The three separately installed archiver libraries, loaded by file name for every call.
#pragma once

#include <windows.h>

struct ArchiverLibrary {
  const char* fileName;
  const char* versionEntry;
  const char* commandEntry;
  const char* missingMessage;
};

extern const ArchiverLibrary kLhaLibrary;
extern const ArchiverLibrary kSevenZipLibrary;
extern const ArchiverLibrary kCabLibrary;

// 0 with version set (the entry's low 16 bits × 0.01); 1 when the library is not there.
int GetArchiverVersion(const ArchiverLibrary& library, double* version);

// Hands commandLine to the library's command entry with window as owner. 0 once the
// library has been called, whatever it reported; 1 (after showing the library's
// message) when it cannot be loaded or lacks its entry point.
int RunArchiver(const ArchiverLibrary& library, HWND window, const char* commandLine);
