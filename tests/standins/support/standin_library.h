// Loads one stand-in archiver library from the test's own folder for the length of a call,
// as the program does.
#pragma once

#include <windows.h>

#include <string>

struct StandinLibrary {
  const char* file;
  const char* versionEntry;
  const char* commandEntry;
};

extern const StandinLibrary kUnlha;
extern const StandinLibrary kSevenZip;
extern const StandinLibrary kCab;

// The folder of the running test program, with its trailing backslash.
std::string TestFolder();

// The version entry's result; -1 when the library or entry is missing.
int CallVersion(const StandinLibrary& library);

// The command entry's result for commandLine; -1 when the library or entry is missing.
int CallCommand(const StandinLibrary& library, const std::string& commandLine);
