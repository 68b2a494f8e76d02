#include "member_list.h"

#include <algorithm>
#include <cstring>

namespace {

Member FromFound(const std::string& name, const std::string& path, const WIN32_FIND_DATAA& found) {
  Member member;
  member.name = name;
  member.path = path;
  member.folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  member.size = member.folder ? 0
                              : (static_cast<unsigned long long>(found.nFileSizeHigh) << 32) |
                                    found.nFileSizeLow;
  member.attributes = found.dwFileAttributes;
  member.written = found.ftLastWriteTime;
  return member;
}

// The entry path names itself (no wildcards), or false when there is none.
bool FindOne(const std::string& path, WIN32_FIND_DATAA* found) {
  HANDLE search = FindFirstFileA(path.c_str(), found);
  if (search == INVALID_HANDLE_VALUE)
    return false;
  FindClose(search);
  return true;
}

bool AddBelow(const std::string& name, const std::string& path, std::vector<Member>* members) {
  std::vector<Member> children;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE)
    return GetLastError() == ERROR_FILE_NOT_FOUND;
  do {
    std::string child = found.cFileName;
    if (child != "." && child != "..")
      children.push_back(FromFound(name + "\\" + child, path + "\\" + child, found));
  } while (FindNextFileA(search, &found));
  bool complete = GetLastError() == ERROR_NO_MORE_FILES;
  FindClose(search);
  if (!complete)
    return false;
  std::sort(children.begin(), children.end(),
            [](const Member& a, const Member& b) { return a.name < b.name; });
  for (const Member& child : children) {
    members->push_back(child);
    if (child.folder && !AddBelow(child.name, child.path, members))
      return false;
  }
  return true;
}

} // namespace

bool MemberData::Open(const Member& member) {
  held_ = member.held.get();
  at_ = 0;
  return held_ != nullptr || file_.Open(member.path);
}

bool MemberData::Read(void* data, size_t size, size_t* got) {
  if (held_ == nullptr)
    return file_.Read(data, size, got);
  *got = std::min(size, held_->size() - at_);
  memcpy(data, held_->data() + at_, *got);
  at_ += *got;
  return true;
}

bool AddFileMember(const std::string& folder, const std::string& name,
                   std::vector<Member>* members) {
  WIN32_FIND_DATAA found;
  std::string path = folder + name;
  if (!FindOne(path, &found) || (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  members->push_back(FromFound(name, path, found));
  return true;
}

bool AddFolderMembers(const std::string& folder, const std::string& name,
                      std::vector<Member>* members) {
  WIN32_FIND_DATAA found;
  std::string path = folder + name;
  if (!FindOne(path, &found) || !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return false;
  members->push_back(FromFound(name, path, found));
  return AddBelow(name, path, members);
}
