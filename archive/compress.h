// Making an archive of one file or folder through its format's library.
#pragma once

#include "archive/archive_formats.h"

#include <windows.h>

// Names and makes the archive of source (see MakeCompressionPlan): the library runs once, or
// for a self-extracting format twice through a temporary plain archive, which then goes.
// 0 once the library has been called, whatever it reported; 1 after a message: a name or
// command too long, a missing library, or no place for the temporary archive.
int CompressToArchive(HWND window, const char* source, int isFolder, const ArchiveFormat& format,
                      int addExt, const char* outputDir, int outputType);
