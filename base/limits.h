// Sizes of the program's fixed buffers, shared by every layer.
#pragma once

#include <cstddef>

// Paths, output folders and archiver command lines: what the program builds or accepts is
// at most one byte less, and anything longer is refused as too long, never cut.
constexpr size_t kPathBufferSize = 2500;
