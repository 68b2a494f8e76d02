// Stand-in for 7-Zip32.dll: creates and extracts ZIP and 7z archives, for exactly the
// command lines the program sends.
#include "archive_extract.h"
#include "archive_update.h"
#include "command_args.h"
#include "command_log.h"
#include "libarchive_writer.h"
#include "member_list.h"
#include "standin_result.h"

#include <windows.h>

namespace {

bool FormatOf(const std::string& typeSwitch, LibarchiveFormat* format) {
  if (typeSwitch == "-tzip")
    *format = LibarchiveFormat::kZip;
  else if (typeSwitch == "-t7z")
    *format = LibarchiveFormat::kSevenZip;
  else
    return false;
  return true;
}

// a -t{type} "{archive}" "{dir}" "{name}" for a file, "-ir!{name}\*" for a folder.
int Add(LibarchiveFormat format, const std::string& archive, const std::string& folder,
        const std::string& item) {
  std::string name;
  bool isFolder = CutPrefix(item, "-ir!", &name);
  if (isFolder && !CutSuffix(name, "\\*", &name))
    return kStandinUnknownCommand;
  if (!isFolder)
    name = item;
  if (!IsFolderArg(folder) || !IsItemName(name))
    return kStandinUnknownCommand;
  std::vector<Member> members;
  bool found =
      isFolder ? AddFolderMembers(folder, name, &members) : AddFileMember(folder, name, &members);
  if (!found)
    return kStandinSourceMissing;
  int kind = format == LibarchiveFormat::kZip ? kArchiveZip : kArchiveSevenZip;
  return AddToArchive(archive, kind, members,
                      [format](const std::string& path, const std::vector<Member>& all) {
                        return WriteLibarchiveArchive(path, format, all);
                      });
}

int Run(const char* line) {
  std::vector<CommandArg> args;
  if (!SplitCommandLine(line, &args))
    return kStandinUnknownCommand;
  LibarchiveFormat format;
  if ((ArgsMatch(args, {"a", "-tzip", nullptr, nullptr, nullptr}) ||
       ArgsMatch(args, {"a", "-t7z", nullptr, nullptr, nullptr})) &&
      FormatOf(args[1].text, &format))
    return Add(format, args[2].text, args[3].text, args[4].text);
  std::string folder;
  if (ArgsMatch(args, {"x", nullptr, nullptr, "*.*"}) && CutPrefix(args[2].text, "-o", &folder) &&
      IsFolderArg(folder)) {
    return ExtractArchiveFile(args[1].text, kArchiveZip | kArchiveSevenZip, folder);
  }
  return kStandinUnknownCommand;
}

} // namespace

extern "C" WORD WINAPI SevenZipGetVersion(void) { return 938; }

extern "C" int WINAPI SevenZip(const HWND, LPCSTR szCmdLine, LPSTR, const DWORD) {
  LogCommand("SevenZip", szCmdLine);
  return Run(szCmdLine);
}
