// The program's own command-line tokenising rule, window-free so it can be tested natively.
// The same rule reads the ANSI and the UTF-16 form of the command line.
#pragma once

#include <cstddef>

// Number of tokens in commandLine, the program's own path included.
int CountTokens(const char* commandLine);
int CountTokens(const wchar_t* commandLine);

// Copies token n (1 = the program's path) into out. 1 on success; 0 when there is no
// such token or it does not fit outSize (in characters) (out then holds an empty string).
int GetToken(const char* commandLine, int n, char* out, size_t outSize);
int GetToken(const wchar_t* commandLine, int n, wchar_t* out, size_t outSize);
