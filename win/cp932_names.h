// Names reach the program in UTF-16 (its command line, dropped items, a folder's contents)
// but its work is done on ANSI paths in code page 932. A name is used only when that code
// page holds it exactly: a best-fit substitute (e for é, a path separator for ¥) or a '?'
// would name another file, or none. Nor is a name Windows would misread (base/misread_names.h).
#pragma once

#include <string>

// text, ANSI, in UTF-16; empty when text is not valid in the ANSI code page.
std::wstring ToWide(const char* text);

// 1 with out holding wide in the ANSI code page, when converting back gives wide exactly;
// 0 otherwise.
int ToCp932Exactly(const wchar_t* wide, std::string* out);

// 1 with out holding the ANSI form of path, an item given to the program, when that form is
// exact and no name along path is one Windows would misread; 0 otherwise.
int ToUsablePath(const wchar_t* path, std::string* out);

// 1 with firstBad holding the full path of the first file or folder inside folder, at any
// depth, whose name does not survive that conversion or would be misread; 0 when none.
int FindUnusableName(const char* folder, std::wstring* firstBad);
