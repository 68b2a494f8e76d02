// How many threads one codec call may run at once.
#pragma once

#include <cstddef>

// The machine's cores, at least 1, at most a cap that keeps a 32-bit process's address space
// and a busy machine in mind.
size_t CodecThreadCount();
