// Names of new archives, of their temporary copies and of extraction folders.
// All return 1 on success; 0 when the result would not fit out (outSize bytes) or a
// piece of a path is longer than 255 bytes. Nothing is ever truncated.
#pragma once

#include <cstddef>

// The archive made from source: beside it (outputType 0) or in outputDir. With addExt 1
// the source's extension joins the name: report.txt gives report_txt.<archiveExt>.
int MakeArchivePath(const char* source, const char* archiveExt, int addExt, const char* outputDir,
                    int outputType, char* out, size_t outSize);

// Where the plain archive of a self-extracting one is made first: tempDir, then the
// archive's name and extension. An empty or missing tempDir is refused.
int MakeTempArchivePath(const char* archivePath, const char* tempDir, char* out, size_t outSize);

// The folder, ending in a backslash, that an archive extracts into: the archive's own
// folder (outputType 0) or outputDir, plus the archive's base name with makeDir 1.
// Creating that last level is the caller's.
int MakeExtractDirPath(const char* archivePath, const char* outputDir, int outputType, int makeDir,
                       char* out, size_t outSize);
