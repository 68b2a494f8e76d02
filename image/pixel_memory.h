// A hint for the picture's memory.
#pragma once

#include <cstddef>

// Asks the system to back a large block that has not been touched yet with large pages: the
// readers then meet a few hundred times fewer page faults while they fill a picture. A no-op
// where the system offers no such hint.
void AdviseLargePages(void* block, size_t bytes);

// Has the system give the block its memory now, from its end back to its start, in large
// steps: a thread with nothing else to do takes the page faults off a reader that fills the
// block from its end. Only a hint; the block's contents stay as they are.
void PrefaultFromEnd(void* block, size_t bytes);
