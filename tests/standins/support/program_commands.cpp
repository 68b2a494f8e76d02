#include "program_commands.h"

const ArchiveFormat kLhaFormat = {"lha", &kUnlha, "lzh", nullptr, true};
const ArchiveFormat kZipFormat = {"zip", &kSevenZip, "zip", "zip", true};
const ArchiveFormat kSevenZipFormat = {"sevenzip", &kSevenZip, "7z", "7z", true};
const ArchiveFormat kCabFormat = {"cab", &kCab, "cab", nullptr, false};

namespace {

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

} // namespace

std::string FileCommand(const ArchiveFormat& format, const std::string& archive,
                        const std::string& folder, const std::string& name) {
  if (format.library == &kUnlha)
    return "a " + Quoted(archive) + " " + Quoted(folder + name);
  if (format.library == &kSevenZip)
    return std::string("a -t") + format.typeName + " " + Quoted(archive) + " " + Quoted(folder) +
           " " + Quoted(name);
  return "-a " + Quoted(archive) + " " + Quoted(folder) + " " + Quoted(name);
}

std::string FolderCommand(const ArchiveFormat& format, const std::string& archive,
                          const std::string& folder, const std::string& name) {
  if (format.library == &kUnlha)
    return "a " + Quoted(archive) + " " + Quoted(folder) + " " + Quoted(name) + " -d";
  if (format.library == &kSevenZip)
    return std::string("a -t") + format.typeName + " " + Quoted(archive) + " " + Quoted(folder) +
           " " + Quoted("-ir!" + name + "\\*");
  return "-a -r " + Quoted(archive) + " " + Quoted(folder) + " " + Quoted(name + "\\*.*");
}

std::string ExtractCommand(const ArchiveFormat& format, const std::string& archive,
                           const std::string& destination) {
  if (format.library == &kUnlha)
    return "x " + Quoted(archive) + " " + Quoted(destination);
  if (format.library == &kSevenZip)
    return "x " + Quoted(archive) + " " + Quoted("-o" + destination) + " *.*";
  return "-x " + Quoted(archive) + " " + Quoted(destination) + " *.*";
}

std::string SfxCommand(const ArchiveFormat& format, const std::string& temp,
                       const std::string& destination) {
  if (format.library == &kUnlha)
    return "s -gw -x " + Quoted(temp) + " " + Quoted(destination);
  return "-f " + Quoted(temp) + " " + Quoted(destination);
}
