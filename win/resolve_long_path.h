// Long-form paths through the shell's desktop folder.
#pragma once

#include <cstddef>

// 1 with out holding the full long path of the existing file or folder that path names;
// 0 when it names none (or the shell cannot parse it).
int ResolveLongPath(const char* path, char* out, size_t outSize);
