// Where the program itself lies: its settings file sits beside it, and its folder is where
// the archiver libraries are searched first.
#pragma once

#include <cstddef>

// 1 with out holding the program file's full path; 0 when it does not fit outSize.
int GetProgramPath(char* out, size_t outSize);

// 1 with out holding the program's folder, ending in a backslash; 0 when it does not fit.
int GetProgramFolder(char* out, size_t outSize);
