// Everything needed to make one archive, worked out before any library is called.
#pragma once

#include <cstddef>

enum { kArchiveTextSize = 2500 }; // archive paths and command lines

struct CreationPlan {
  int archiver;                         // ArchiverKind of the format
  char archivePath[kArchiveTextSize];   // never created for the self-extracting formats
  char tempPath[kArchiveTextSize];      // plain archive of a self-extracting one, else empty
  char firstCommand[kArchiveTextSize];  // makes archivePath, or tempPath
  char secondCommand[kArchiveTextSize]; // turns tempPath self-extracting, else empty
};

// Plans the archive of source (a folder when isFolder is not 0) in ArchiveType
// archiveType. tempDir is only used by the self-extracting formats. 1 on success; 0 for
// a type outside 0..5 (check FindArchiveFormat first to tell it apart) or when a path
// or command line would not fit, and the plan is then not to be used.
int PlanCreation(const char *source, int isFolder, int archiveType, int addExt, int outputType,
                 const char *outputDir, const char *tempDir, CreationPlan *plan);
