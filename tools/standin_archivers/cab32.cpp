// Stand-in for CAB32.DLL: creates, turns self-extracting and extracts cabinets, for
// exactly the command lines the program sends.
#include "archive_extract.h"
#include "archive_update.h"
#include "cab_writer.h"
#include "command_args.h"
#include "command_log.h"
#include "member_list.h"
#include "sfx_writer.h"
#include "standin_result.h"

#include <windows.h>

namespace {

// -a "{archive}" "{dir}" "{name}" for a file; -a -r ... "{name}\*.*" for a folder.
int Add(const std::string& archive, const std::string& folder, const std::string& item,
        bool isFolder) {
  std::string name = item;
  if (isFolder && !CutSuffix(item, "\\*.*", &name))
    return kStandinUnknownCommand;
  if (!IsFolderArg(folder) || !IsItemName(name))
    return kStandinUnknownCommand;
  std::vector<Member> members;
  bool found =
      isFolder ? AddFolderMembers(folder, name, &members) : AddFileMember(folder, name, &members);
  if (!found)
    return kStandinSourceMissing;
  return AddToArchive(archive, kArchiveCab, members, WriteCabArchive);
}

int Run(const char* line) {
  std::vector<CommandArg> args;
  if (!SplitCommandLine(line, &args))
    return kStandinUnknownCommand;
  if (ArgsMatch(args, {"-a", nullptr, nullptr, nullptr}))
    return Add(args[1].text, args[2].text, args[3].text, false);
  if (ArgsMatch(args, {"-a", "-r", nullptr, nullptr, nullptr}))
    return Add(args[2].text, args[3].text, args[4].text, true);
  if (ArgsMatch(args, {"-f", nullptr, nullptr}) && IsFolderArg(args[2].text))
    return WriteSelfExtractor(args[1].text, SfxArchive::kCab, args[2].text);
  if (ArgsMatch(args, {"-x", nullptr, nullptr, "*.*"}) && IsFolderArg(args[2].text)) {
    return ExtractArchiveFile(args[1].text, kArchiveCab, args[2].text);
  }
  return kStandinUnknownCommand;
}

} // namespace

extern "C" WORD WINAPI CabGetVersion(void) { return 98; }

extern "C" int WINAPI Cab(const HWND, LPCSTR szCmdLine, LPSTR, const DWORD) {
  LogCommand("Cab", szCmdLine);
  return Run(szCmdLine);
}
