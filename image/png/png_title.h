// The Title a written PNG carries: the target's file name alone, never its folders.
#pragma once

#include <cstddef>

struct PngTextChunk {
  char type[5];        // "tEXt" or "iTXt"
  unsigned char* data; // malloc'd chunk data, or null
  size_t size;
};

// The chunk for target (an ANSI path: code page 932 on Windows): tEXt when the name is
// Latin-1, else iTXt in UTF-8. 0 when memory runs out (chunk empty).
int MakePngTitle(const char* target, PngTextChunk* chunk);

// Releases the chunk's data.
void FreePngTitle(PngTextChunk* chunk);

// The last component of path, after its last \ or / (code page 932 aware).
const char* FileNameOf(const char* path);
