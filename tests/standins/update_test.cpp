// "a" into an archive that is already there adds to it, as users' archivers do: what it held
// stays, a member of the same name is replaced. The archives stay in the scratch folder for
// standin_archives.sh to open with independent tools.
#include "support/program_commands.h"
#include "support/sample_tree.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

namespace {

class UpdateTest : public testing::TestWithParam<const ArchiveFormat*> {
 protected:
  void SetUp() override {
    scratch_ = FreshScratchFolder();
    ASSERT_TRUE(MakeFolder(scratch_ + "src"));
    ASSERT_TRUE(MakeFolder(scratch_ + "out"));
  }
  const ArchiveFormat& Format() const { return *GetParam(); }
  int Run(const std::string& command) const { return CallCommand(*Format().library, command); }

  std::string scratch_;
};

TEST_P(UpdateTest, AddingKeepsWhatTheArchiveHeldAndReplacesTheSameName) {
  const std::string src = scratch_ + "src\\";
  const std::string archive = scratch_ + "update." + Format().extension;
  ASSERT_TRUE(WriteFileBytes(src + "one.txt", "first"));
  ASSERT_TRUE(WriteFileBytes(src + "two.txt", "second"));
  ASSERT_TRUE(MakeSampleTree(src + "photos"));
  ASSERT_EQ(0, Run(FileCommand(Format(), archive, src, "one.txt")));
  ASSERT_EQ(0, Run(FolderCommand(Format(), archive, src, "photos")));
  ASSERT_EQ(0, Run(FileCommand(Format(), archive, src, "two.txt")));
  ASSERT_TRUE(WriteFileBytes(src + "one.txt", "first, revised and longer"));
  ASSERT_EQ(0, Run(FileCommand(Format(), archive, src, "one.txt")));
  ASSERT_EQ(0, Run(ExtractCommand(Format(), archive, scratch_ + "out\\")));
  EXPECT_EQ("", CompareTrees(scratch_ + "src", scratch_ + "out", !Format().keepsEmptyFolders));
}

TEST_P(UpdateTest, WhatIsNoArchiveOfTheFormatStaysAsItWas) {
  const std::string archive = scratch_ + "other." + Format().extension;
  ASSERT_TRUE(WriteFileBytes(archive, "notes, not an archive"));
  ASSERT_TRUE(WriteFileBytes(scratch_ + "src\\a.txt", "a"));
  EXPECT_NE(0, Run(FileCommand(Format(), archive, scratch_ + "src\\", "a.txt")));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(archive, &bytes));
  EXPECT_EQ(bytes, "notes, not an archive");
}

INSTANTIATE_TEST_SUITE_P(Formats, UpdateTest,
                         testing::Values(&kLhaFormat, &kZipFormat, &kSevenZipFormat, &kCabFormat),
                         [](const testing::TestParamInfo<const ArchiveFormat*>& info) {
                           return std::string(info.param->label);
                         });

} // namespace
