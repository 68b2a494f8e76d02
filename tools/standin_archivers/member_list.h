// The files and folders a creation command names, with the relative names they get in
// the archive.
#pragma once

#include <windows.h>

#include "file_io.h"

#include <memory>
#include <string>
#include <vector>

struct Member {
  std::string name; // relative, code page 932, '\\' between levels, no trailing '\\'
  std::string path; // where it lies; empty for a member taken over from an earlier archive
  std::shared_ptr<const std::string> held; // that member's bytes
  bool folder;
  unsigned long long size;
  DWORD attributes;
  FILETIME written;
};

// A member's bytes, from its file or from what an earlier archive held.
class MemberData {
 public:
  bool Open(const Member& member);
  // Reads up to size bytes; *got is 0 at the end.
  bool Read(void* data, size_t size, size_t* got);

 private:
  InFile file_;
  const std::string* held_ = nullptr;
  size_t at_ = 0;
};

// Adds the file folder + name as the member "name". False when it is not an existing file.
bool AddFileMember(const std::string& folder, const std::string& name,
                   std::vector<Member>* members);

// Adds the folder folder + name as "name", then everything below it as "name\\...", each
// folder before its content and names in byte order. False when it is not an existing
// folder or part of it cannot be listed.
bool AddFolderMembers(const std::string& folder, const std::string& name,
                      std::vector<Member>* members);
