// The self-extracting second step writes our extractor with the archive appended, named
// after the temporary archive, into the destination folder; run, it unpacks beside itself.
#include "support/program_commands.h"
#include "support/sample_tree.h"
#include "support/scratch.h"

#include <windows.h>
#include <gtest/gtest.h>

namespace {

// The program's exit status, or -1 when it cannot be started or does not end in time.
int RunProgram(const std::string& path) {
  std::string commandLine = "\"" + path + "\"";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return -1;
  DWORD status = static_cast<DWORD>(-1);
  if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &status);
  else
    TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<int>(status);
}

bool Exists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

class SfxTest : public testing::TestWithParam<const ArchiveFormat*> {
 protected:
  void SetUp() override {
    scratch_ = FreshScratchFolder();
    ASSERT_TRUE(MakeFolder(scratch_ + "src"));
    ASSERT_TRUE(MakeFolder(scratch_ + "temp"));
    ASSERT_TRUE(MakeFolder(scratch_ + "dest"));
  }
  const ArchiveFormat& Format() const { return *GetParam(); }
  int Run(const std::string& command) const { return CallCommand(*Format().library, command); }

  std::string scratch_;
};

TEST_P(SfxTest, FolderArchiveUnpacksItselfBesideItself) {
  ASSERT_TRUE(MakeSampleTree(scratch_ + "src\\ソフト"));
  std::string temp = scratch_ + "temp\\ソフト." + Format().extension;
  ASSERT_EQ(0, Run(FolderCommand(Format(), temp, scratch_ + "src\\", "ソフト")));
  ASSERT_EQ(0, Run(SfxCommand(Format(), temp, scratch_ + "dest\\")));
  std::string program = scratch_ + "dest\\ソフト.exe";
  ASSERT_TRUE(Exists(program));
  EXPECT_FALSE(Exists(scratch_ + "dest\\ソフト." + Format().extension));
  ASSERT_EQ(0, RunProgram(program));
  // Out of the way of the comparison, but kept for standin_archives.sh to run again.
  ASSERT_TRUE(MoveFileA(program.c_str(), (scratch_ + "program.exe").c_str()));
  EXPECT_EQ("", CompareTrees(scratch_ + "src", scratch_ + "dest", !Format().keepsEmptyFolders));
}

TEST_P(SfxTest, FileArchiveUnpacksItselfBesideItself) {
  ASSERT_TRUE(WriteFileBytes(scratch_ + "src\\report.txt", "figures"));
  std::string temp = scratch_ + "temp\\report." + Format().extension;
  ASSERT_EQ(0, Run(FileCommand(Format(), temp, scratch_ + "src\\", "report.txt")));
  ASSERT_EQ(0, Run(SfxCommand(Format(), temp, scratch_ + "dest\\")));
  ASSERT_EQ(0, RunProgram(scratch_ + "dest\\report.exe"));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(scratch_ + "dest\\report.txt", &bytes));
  EXPECT_EQ("figures", bytes);
}

TEST_P(SfxTest, RefusesAnArchiveOfTheOtherKind) {
  std::string temp = scratch_ + "temp\\other.bin";
  ASSERT_TRUE(WriteFileBytes(temp, Format().library == &kCab ? "xx-lh0-xxxxxxxx" : "MSCFxxxx"));
  EXPECT_NE(0, Run(SfxCommand(Format(), temp, scratch_ + "dest\\")));
  EXPECT_FALSE(Exists(scratch_ + "dest\\other.exe"));
}

TEST_P(SfxTest, MissingTemporaryArchiveMakesNothing) {
  EXPECT_NE(0, Run(SfxCommand(Format(), scratch_ + "temp\\none.lzh", scratch_ + "dest\\")));
  EXPECT_FALSE(Exists(scratch_ + "dest\\none.exe"));
}

TEST_P(SfxTest, LeavesAFileAlreadyAtTheProgramsNameAlone) {
  ASSERT_TRUE(WriteFileBytes(scratch_ + "src\\setup.ini", "[setup]"));
  ASSERT_TRUE(WriteFileBytes(scratch_ + "dest\\setup.exe", "the user's own program"));
  std::string temp = scratch_ + "temp\\setup." + Format().extension;
  ASSERT_EQ(0, Run(FileCommand(Format(), temp, scratch_ + "src\\", "setup.ini")));
  EXPECT_EQ(0x8006, Run(SfxCommand(Format(), temp, scratch_ + "dest\\")));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(scratch_ + "dest\\setup.exe", &bytes));
  EXPECT_EQ("the user's own program", bytes);
}

INSTANTIATE_TEST_SUITE_P(Formats, SfxTest, testing::Values(&kLhaFormat, &kCabFormat),
                         [](const testing::TestParamInfo<const ArchiveFormat*>& info) {
                           return std::string(info.param->label);
                         });

} // namespace
