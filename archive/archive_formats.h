// The six archive formats the user can choose, by their ArchiveType index.
#pragma once

enum ArchiverKind { kArchiverLha, kArchiverSevenZip, kArchiverCab };

struct ArchiveFormat {
  const char* extension; // without its dot
  const char* typeName;  // 7-Zip's archive type switch; null for the other libraries
  int archiver;          // ArchiverKind
  int selfExtracting;    // made through a temporary plain archive
};

// The format of ArchiveType archiveType, or null outside 0..5 (a settings file may
// hold any number).
const ArchiveFormat* FindArchiveFormat(int archiveType);
