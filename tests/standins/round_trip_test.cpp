// What a stand-in archives, it extracts again to the same names and bytes. The archives
// stay in the scratch folder for standin_archives.sh to open with independent tools.
#include "support/program_commands.h"
#include "support/sample_tree.h"
#include "support/scratch.h"

#include <gtest/gtest.h>

namespace {

class RoundTripTest : public testing::TestWithParam<const ArchiveFormat*> {
 protected:
  void SetUp() override {
    scratch_ = FreshScratchFolder();
    ASSERT_TRUE(MakeFolder(scratch_ + "src"));
    ASSERT_TRUE(MakeFolder(scratch_ + "out"));
  }
  const ArchiveFormat& Format() const { return *GetParam(); }
  std::string Archive(const std::string& base) const {
    return scratch_ + base + "." + Format().extension;
  }
  int Run(const std::string& command) const { return CallCommand(*Format().library, command); }

  std::string scratch_;
};

TEST_P(RoundTripTest, FolderComesBackWholeUnderItsOwnName) {
  ASSERT_TRUE(MakeSampleTree(scratch_ + "src\\photos"));
  std::string archive = Archive("photos");
  ASSERT_EQ(0, Run(FolderCommand(Format(), archive, scratch_ + "src\\", "photos")));
  ASSERT_EQ(0, Run(ExtractCommand(Format(), archive, scratch_ + "out\\")));
  EXPECT_EQ("", CompareTrees(scratch_ + "src", scratch_ + "out", !Format().keepsEmptyFolders));
}

TEST_P(RoundTripTest, FileIsStoredByItsOwnName) {
  ASSERT_TRUE(WriteFileBytes(scratch_ + "src\\report.txt", "quarterly figures\r\n"));
  std::string archive = Archive("report");
  ASSERT_EQ(0, Run(FileCommand(Format(), archive, scratch_ + "src\\", "report.txt")));
  ASSERT_EQ(0, Run(ExtractCommand(Format(), archive, scratch_ + "out\\")));
  EXPECT_EQ("", CompareTrees(scratch_ + "src", scratch_ + "out", false));
}

TEST_P(RoundTripTest, JapaneseNamesSurvive) {
  // "ソ" ends in the byte of '\\'; a byte-wise reader would split the name there.
  ASSERT_TRUE(MakeSampleTree(scratch_ + "src\\ソフト表"));
  std::string archive = Archive("ソフト表");
  ASSERT_EQ(0, Run(FolderCommand(Format(), archive, scratch_ + "src\\", "ソフト表")));
  ASSERT_EQ(0, Run(ExtractCommand(Format(), archive, scratch_ + "out\\")));
  EXPECT_EQ("", CompareTrees(scratch_ + "src", scratch_ + "out", !Format().keepsEmptyFolders));
}

TEST_P(RoundTripTest, JapaneseFileNameSurvives) {
  ASSERT_TRUE(WriteFileBytes(scratch_ + "src\\予定表.txt", "月曜"));
  std::string archive = Archive("予定表");
  ASSERT_EQ(0, Run(FileCommand(Format(), archive, scratch_ + "src\\", "予定表.txt")));
  ASSERT_EQ(0, Run(ExtractCommand(Format(), archive, scratch_ + "out\\")));
  EXPECT_EQ("", CompareTrees(scratch_ + "src", scratch_ + "out", false));
}

TEST_P(RoundTripTest, ExtractionMakesAMissingDestination) {
  ASSERT_TRUE(WriteFileBytes(scratch_ + "src\\a.txt", "a"));
  std::string archive = Archive("a");
  ASSERT_EQ(0, Run(FileCommand(Format(), archive, scratch_ + "src\\", "a.txt")));
  ASSERT_EQ(0, Run(ExtractCommand(Format(), archive, scratch_ + "out\\new\\")));
  EXPECT_EQ("", CompareTrees(scratch_ + "src", scratch_ + "out\\new", false));
}

TEST_P(RoundTripTest, MissingSourceMakesNoArchive) {
  std::string archive = Archive("none");
  EXPECT_NE(0, Run(FileCommand(Format(), archive, scratch_ + "src\\", "none.txt")));
  EXPECT_NE(0, Run(FolderCommand(Format(), archive, scratch_ + "src\\", "none")));
  std::string bytes;
  EXPECT_FALSE(ReadFileBytes(archive, &bytes));
}

TEST_P(RoundTripTest, DamagedArchiveFailsExtraction) {
  std::string archive = Archive("damaged");
  ASSERT_TRUE(WriteFileBytes(archive, "this is not an archive of any kind"));
  EXPECT_NE(0, Run(ExtractCommand(Format(), archive, scratch_ + "out\\")));
}

// "a" into an archive that is already there adds to it, as users' archivers do: what it held
// stays, a member of the same name is replaced.
TEST_P(RoundTripTest, AddingKeepsWhatTheArchiveHeldAndReplacesTheSameName) {
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

TEST_P(RoundTripTest, WhatIsNoArchiveOfTheFormatStaysAsItWas) {
  const std::string archive = scratch_ + "other." + Format().extension;
  ASSERT_TRUE(WriteFileBytes(archive, "notes, not an archive"));
  ASSERT_TRUE(WriteFileBytes(scratch_ + "src\\a.txt", "a"));
  EXPECT_NE(0, Run(FileCommand(Format(), archive, scratch_ + "src\\", "a.txt")));
  std::string bytes;
  ASSERT_TRUE(ReadFileBytes(archive, &bytes));
  EXPECT_EQ(bytes, "notes, not an archive");
}

INSTANTIATE_TEST_SUITE_P(Formats, RoundTripTest,
                         testing::Values(&kLhaFormat, &kZipFormat, &kSevenZipFormat, &kCabFormat),
                         [](const testing::TestParamInfo<const ArchiveFormat*>& info) {
                           return std::string(info.param->label);
                         });

} // namespace
