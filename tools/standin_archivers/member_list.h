// The files and folders a creation command names, with the relative names they get in
// the archive.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct Member {
  std::string name; // relative, code page 932, '\\' between levels, no trailing '\\'
  std::string path; // where it lies
  bool folder;
  unsigned long long size;
  DWORD attributes;
  FILETIME written;
};

// Adds the file folder + name as the member "name". False when it is not an existing file.
bool AddFileMember(const std::string& folder, const std::string& name,
                   std::vector<Member>* members);

// Adds the folder folder + name as "name", then everything below it as "name\\...", each
// folder before its content and names in byte order. False when it is not an existing
// folder or part of it cannot be listed.
bool AddFolderMembers(const std::string& folder, const std::string& name,
                      std::vector<Member>* members);
