// The picture's memory as the system sees it; one file per system.
#pragma once

#include <cstddef>

// Asks the system to back a large block that has not been touched yet with large pages: the
// readers then meet a few hundred times fewer page faults while they fill a picture. A no-op
// where the system offers no such hint to an ordinary program (Windows).
void AdviseLargePages(void* block, size_t bytes);

// Has the system give these bytes of a block their memory now, so that the page faults are
// taken by the calling thread. The contents stay as they are, even where another thread is
// writing the same pages meanwhile.
void PopulatePages(void* begin, size_t bytes);

// Physical memory free for use now, in bytes (at most SIZE_MAX); SIZE_MAX when unknown.
size_t AvailablePhysicalBytes();
