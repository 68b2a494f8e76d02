// Where the plain archive of a self-extracting format waits between its two library calls.
#pragma once

#include <cstddef>

// The `temp` folder (the system's temporary folder when `temp` is not set), without a
// trailing backslash. 1, or 0 when it cannot be had within outSize.
int GetTempArchiveFolder(char* out, size_t outSize);

// 1 when a file or folder lies at path.
int PathExists(const char* path);

// Makes a fresh folder of our own inside tempDir, for when a user's file already lies where
// the plain archive would go: that file is never overwritten or deleted. 1 with out holding
// the new folder; 0 when no name fits outSize; -1 when none could be made.
int MakeOwnTempFolder(const char* tempDir, char* out, size_t outSize);
