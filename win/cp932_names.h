// Names reach the program in UTF-16 (its command line, dropped items, a folder's contents)
// but its work is done on ANSI paths in code page 932. A name is used only when that code
// page holds it exactly: a best-fit substitute (e for é, a path separator for ¥) or a '?'
// would name another file, or none.
#pragma once

#include <string>

// 1 with out holding wide in the ANSI code page, when converting back gives wide exactly;
// 0 otherwise.
int ToCp932Exactly(const wchar_t* wide, std::string* out);

// 1 with firstBad holding the full path of the first file or folder inside folder, at any
// depth, whose name does not survive that conversion; 0 when every name does.
int FindNameOutsideCp932(const char* folder, std::wstring* firstBad);
