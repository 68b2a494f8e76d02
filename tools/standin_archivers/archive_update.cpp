#include "archive_update.h"

#include "archive_extract.h"
#include "cp932_text.h"
#include "standin_result.h"

#include <set>

namespace {

// The name as Windows compares file names: without regard to case.
std::wstring Folded(const std::string& name) {
  std::wstring wide;
  if (!Cp932ToWide(name, &wide))
    wide.assign(name.begin(), name.end());
  if (!wide.empty())
    CharUpperBuffW(&wide[0], static_cast<DWORD>(wide.size()));
  return wide;
}

// A new empty file of a name of its own in path's folder; empty when none can be made.
std::string TempBeside(const std::string& path) {
  std::string folder = path.substr(0, path.size() - LastComponent(path).size());
  char temp[MAX_PATH];
  if (!GetTempFileNameA(folder.empty() ? "." : folder.c_str(), "sta", 0, temp))
    return std::string();
  return temp;
}

} // namespace

int AddToArchive(const std::string& path, int kind, const std::vector<Member>& members,
                 const ArchiveWriter& write) {
  std::vector<Member> all;
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & FILE_ATTRIBUTE_DIRECTORY)
      return kStandinWriteFailed;
    std::vector<Member> earlier;
    int result = ReadArchiveMembers(path, kind, &earlier);
    if (result != kStandinOk)
      return result;
    std::set<std::wstring> added;
    for (const Member& member : members)
      added.insert(Folded(member.name));
    for (const Member& member : earlier)
      if (added.count(Folded(member.name)) == 0)
        all.push_back(member);
  }
  all.insert(all.end(), members.begin(), members.end());

  std::string temp = TempBeside(path);
  if (temp.empty())
    return kStandinWriteFailed;
  int result = write(temp, all);
  if (result == kStandinOk && !MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING))
    result = kStandinWriteFailed;
  if (result != kStandinOk)
    DeleteFileA(temp.c_str());
  return result;
}
