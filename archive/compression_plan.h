// What making one archive takes, decided by the format table: the archive's name, where a
// self-extracting format's plain archive waits, and the commands its library runs.
#pragma once

#include "archive/archive_formats.h"
#include "base/limits.h"

struct CompressionPlan {
  int archiver;                      // ArchiverKind of the library that runs both commands
  char archive[kPathBufferSize];     // the archive the user gets
  char tempArchive[kPathBufferSize]; // self-extracting: the plain archive made first; else empty
  char first[kPathBufferSize];       // makes the archive, or the temporary plain one
  char second[kPathBufferSize];      // self-extracting: the temporary archive made into the
                                     // archive's folder; else empty
  // Self-extracting: the program the second command writes, the archive's name with ".exe";
  // else empty.
  char selfExtractor[kPathBufferSize];
};

// Plans source (a folder when isFolder is not 0) into format, beside the source (outputType
// 0) or in outputDir, with the source's extension in the name when addExt is 1. tempDir is
// the folder for a self-extracting format's plain archive; the others ignore it.
// 1 when every name and command fits; 0 otherwise (the plan is then unusable).
int MakeCompressionPlan(const char* source, int isFolder, const ArchiveFormat& format, int addExt,
                        const char* outputDir, int outputType, const char* tempDir,
                        CompressionPlan* plan);
