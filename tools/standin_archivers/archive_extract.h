// Unpacks every member of an archive into a folder, through libarchive. The archive may
// be a stretch of a larger file, as in a self-extracting program.
#pragma once

#include "member_list.h"

#include <string>
#include <vector>

enum ArchiveKind {
  kArchiveLha = 1,
  kArchiveZip = 2,
  kArchiveSevenZip = 4,
  kArchiveCab = 8,
};

struct ArchiveStretch {
  std::string path;
  unsigned long long offset; // where the archive starts in the file
  unsigned long long length; // its size in bytes
};

// Extracts the archive, of one of the kinds in the kinds mask, into folder (a path ending
// in a backslash, made when missing), keeping subfolders. Names that would lead outside
// folder are refused. A StandinResult.
int ExtractArchive(const ArchiveStretch& stretch, int kinds, const std::string& folder);

// ExtractArchive for the whole of the file at path.
int ExtractArchiveFile(const std::string& path, int kinds, const std::string& folder);

// Every file and folder member of the archive at path (one of the kinds), in archive order,
// each file's bytes held in memory. A StandinResult.
int ReadArchiveMembers(const std::string& path, int kinds, std::vector<Member>* members);
