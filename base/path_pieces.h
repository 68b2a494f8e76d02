// Paths taken apart into drive, directory, base name and extension and put back
// together. Paths are ANSI in code page 932: the second byte of a double-byte
// character is never taken for a backslash or a dot.
#pragma once

#include <cstddef>

enum { kPathPieceSize = 256 }; // each piece at most 255 bytes and its terminator

struct PathPieces {
  char drive[kPathPieceSize]; // "C:" or empty
  char dir[kPathPieceSize];   // with its trailing backslash, or empty
  char name[kPathPieceSize];  // base name: the last component up to its last dot
  char ext[kPathPieceSize];   // from the last dot of the last component, or empty
};

// 1 on success; 0 when a piece would be longer than 255 bytes (pieces then unusable).
int SplitPath(const char* path, PathPieces* pieces);

// Joins the pieces into out (outSize bytes): a backslash is added after a directory
// whose last whole character is not a separator (\ or /), a dot before an extension
// that lacks one. Null pieces count as empty.
// 1 on success; 0 when the result does not fit (out then holds an empty string).
int JoinPath(char* out, size_t outSize, const char* drive, const char* dir, const char* name,
             const char* ext);

// 1 when the last whole character of text is a backslash (code page 932 aware).
int EndsWithBackslash(const char* text);
