// The command lines the program hands the archiver libraries, built the same way, so the
// tests send the stand-ins exactly what they will get.
#pragma once

#include "standin_library.h"

#include <string>

struct ArchiveFormat {
  const char* label;
  const StandinLibrary* library;
  const char* extension;
  const char* typeName; // for 7-Zip32's -t switch; nullptr otherwise
  bool keepsEmptyFolders;
};

extern const ArchiveFormat kLhaFormat;
extern const ArchiveFormat kZipFormat;
extern const ArchiveFormat kSevenZipFormat;
extern const ArchiveFormat kCabFormat;

// folder ends in a backslash; name is the item's own name within it.
std::string FileCommand(const ArchiveFormat& format, const std::string& archive,
                        const std::string& folder, const std::string& name);
std::string FolderCommand(const ArchiveFormat& format, const std::string& archive,
                          const std::string& folder, const std::string& name);
// destination ends in a backslash.
std::string ExtractCommand(const ArchiveFormat& format, const std::string& archive,
                           const std::string& destination);
// The self-extracting second step (LHA and CAB only).
std::string SfxCommand(const ArchiveFormat& format, const std::string& temp,
                       const std::string& destination);
