// Where the plain archive of a self-extracting format waits between its two library calls.
#pragma once

#include <cstddef>

struct TempArchive {
  char path[2500];      // the temporary archive
  char ownFolder[2500]; // a folder made for it, or empty
};

// Builds the temporary path for archivePath in the `temp` folder (the system's temporary
// folder when `temp` is not set). When a file already lies there, a fresh folder of our
// own inside the temporary folder takes the archive instead, so a user's file is never
// overwritten or deleted. 1 on success; 0 when no usable path fits; -1 when no folder of
// our own could be made (temp->path then names the user's file, which must not be used).
int PrepareTempArchive(const char* archivePath, TempArchive* temp);

// Removes the folder PrepareTempArchive made, if any (the archive itself is already gone).
void ReleaseTempArchive(TempArchive* temp);
