// Stand-in for UNLHA32.DLL: creates, turns self-extracting and extracts LHA archives, for
// exactly the command lines the program sends.
#include "archive_extract.h"
#include "archive_update.h"
#include "command_args.h"
#include "command_log.h"
#include "cp932_text.h"
#include "lha_writer.h"
#include "member_list.h"
#include "sfx_writer.h"
#include "standin_result.h"

#include <windows.h>

namespace {

// a "{archive}" "{source}": a file, stored by its own name.
int AddFile(const std::string& archive, const std::string& source) {
  std::string name = LastComponent(source);
  std::string folder = source.substr(0, source.size() - name.size());
  std::vector<Member> members;
  if (!IsFolderArg(folder) || !IsItemName(name))
    return kStandinUnknownCommand;
  if (!AddFileMember(folder, name, &members))
    return kStandinSourceMissing;
  return AddToArchive(archive, kArchiveLha, members, WriteLhaArchive);
}

// a "{archive}" "{dir}" "{name}" -d: a folder with everything in it, as "{name}\...".
int AddFolder(const std::string& archive, const std::string& folder, const std::string& name) {
  std::vector<Member> members;
  if (!IsFolderArg(folder) || !IsItemName(name))
    return kStandinUnknownCommand;
  if (!AddFolderMembers(folder, name, &members))
    return kStandinSourceMissing;
  return AddToArchive(archive, kArchiveLha, members, WriteLhaArchive);
}

int Run(const char* line) {
  std::vector<CommandArg> args;
  if (!SplitCommandLine(line, &args))
    return kStandinUnknownCommand;
  if (ArgsMatch(args, {"a", nullptr, nullptr}))
    return AddFile(args[1].text, args[2].text);
  if (ArgsMatch(args, {"a", nullptr, nullptr, nullptr, "-d"}))
    return AddFolder(args[1].text, args[2].text, args[3].text);
  if (ArgsMatch(args, {"s", "-gw", "-x", nullptr, nullptr}) && IsFolderArg(args[4].text))
    return WriteSelfExtractor(args[3].text, SfxArchive::kLha, args[4].text);
  if (ArgsMatch(args, {"x", nullptr, nullptr}) && IsFolderArg(args[2].text)) {
    return ExtractArchiveFile(args[1].text, kArchiveLha, args[2].text);
  }
  return kStandinUnknownCommand;
}

} // namespace

extern "C" WORD WINAPI UnlhaGetVersion(void) { return 263; }

extern "C" int WINAPI Unlha(const HWND, LPCSTR szCmdLine, LPSTR, const DWORD) {
  LogCommand("Unlha", szCmdLine);
  return Run(szCmdLine);
}
