// Scratch folders for the tests. They live under QUILLET_STANDIN_SCRATCH when set (so a
// script can look at the archives afterwards with other tools), else under the test
// program's folder; each test starts from an empty folder of its own.
#pragma once

#include <string>

// A fresh, empty folder named after the running test, with its trailing backslash.
std::string FreshScratchFolder();

// Writes bytes to path; true on success.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// The whole content of path, and whether it could be read.
bool ReadFileBytes(const std::string& path, std::string* bytes);

// Makes one folder level; true when it exists afterwards.
bool MakeFolder(const std::string& path);

// Removes a folder and everything in it; true when it is gone.
bool RemoveTree(const std::string& path);
