// Archives made by other tools extract through the stand-ins. standin_archives.sh makes
// them on the Linux side, names the folder in QUILLET_FOREIGN_ARCHIVES and compares what
// comes out; without that folder there is nothing to do here.
#include "support/program_commands.h"
#include "support/scratch.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <vector>

namespace {

const ArchiveFormat* FormatOf(const std::string& name) {
  std::string ext = name.substr(name.find_last_of('.') + 1);
  for (const ArchiveFormat* format : {&kLhaFormat, &kZipFormat, &kSevenZipFormat, &kCabFormat})
    if (ext == format->extension)
      return format;
  return nullptr;
}

TEST(ForeignArchiveTest, EachArchiveExtractsIntoItsOwnFolder) {
  char value[MAX_PATH];
  DWORD length = GetEnvironmentVariableA("QUILLET_FOREIGN_ARCHIVES", value, sizeof value);
  if (length == 0 || length >= sizeof value)
    GTEST_SKIP() << "QUILLET_FOREIGN_ARCHIVES is not set";
  std::string folder = std::string(value, length) + "\\";
  std::vector<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*.*").c_str(), &found);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && FormatOf(found.cFileName))
      names.push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
  ASSERT_FALSE(names.empty());
  MakeFolder(folder + "out");
  for (const std::string& name : names) {
    const ArchiveFormat& format = *FormatOf(name);
    std::string destination = folder + "out\\" + name + "\\";
    EXPECT_EQ(0, CallCommand(*format.library, ExtractCommand(format, folder + name, destination)))
        << name;
  }
}

} // namespace
