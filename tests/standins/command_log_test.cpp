// Every command reaches the log byte for byte, one record per call, whatever the
// library then makes of it.
#include "support/scratch.h"
#include "support/standin_library.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <string>

namespace {

class CommandLogTest : public testing::Test {
 protected:
  void SetUp() override {
    logPath_ = FreshScratchFolder() + "archiver.log";
    SetEnvironmentVariableA("QUILLET_ARCHIVER_LOG", logPath_.c_str());
  }
  void TearDown() override { SetEnvironmentVariableA("QUILLET_ARCHIVER_LOG", nullptr); }

  std::string Log() {
    std::string bytes;
    ReadFileBytes(logPath_, &bytes);
    return bytes;
  }

  std::string logPath_;
};

TEST(StandinVersionTest, EachLibraryHasItsOwnVersion) {
  EXPECT_EQ(263, CallVersion(kUnlha));
  EXPECT_EQ(938, CallVersion(kSevenZip));
  EXPECT_EQ(98, CallVersion(kCab));
}

TEST(StandinVersionTest, SourceLiteralsAreCodePage932) {
  // The Japanese names below must reach the libraries as code page 932 bytes.
  EXPECT_EQ(std::string("\x83\x5c"), std::string("ソ"));
}

TEST_F(CommandLogTest, RecordsEachEntryWithItsName) {
  CallCommand(kUnlha, "x \"C:\\dl\\tools.lzh\" \"C:\\dl\\\"");
  CallCommand(kSevenZip, "x \"C:\\dl\\pack.zip\" \"-oC:\\dl\\pack\\\" *.*");
  CallCommand(kCab, "-x \"C:\\dl\\setup.cab\" \"D:\\out\\setup\\\" *.*");
  EXPECT_EQ("Unlha\tx \"C:\\dl\\tools.lzh\" \"C:\\dl\\\"\n"
            "SevenZip\tx \"C:\\dl\\pack.zip\" \"-oC:\\dl\\pack\\\" *.*\n"
            "Cab\t-x \"C:\\dl\\setup.cab\" \"D:\\out\\setup\\\" *.*\n",
            Log());
}

TEST_F(CommandLogTest, KeepsDoubleByteNamesWhoseSecondByteIsABackslash) {
  std::string line = "a \"C:\\ソフト\\表.lzh\" \"C:\\ソフト\\表.txt\"";
  CallCommand(kUnlha, line);
  EXPECT_EQ("Unlha\t" + line + "\n", Log());
}

TEST_F(CommandLogTest, RecordsCommandsItDoesNotUnderstand) {
  CallCommand(kSevenZip, "l \"C:\\dl\\pack.7z\"");
  CallCommand(kCab, "");
  EXPECT_EQ("SevenZip\tl \"C:\\dl\\pack.7z\"\nCab\t\n", Log());
}

TEST_F(CommandLogTest, AppendsToAnExistingLog) {
  ASSERT_TRUE(WriteFileBytes(logPath_, "earlier\n"));
  CallCommand(kCab, "-f \"C:\\TEMP\\photos.cab\" \"D:\\out\\\"");
  EXPECT_EQ("earlier\nCab\t-f \"C:\\TEMP\\photos.cab\" \"D:\\out\\\"\n", Log());
}

TEST(StandinLogOffTest, WritesNothingWithoutTheVariable) {
  std::string folder = FreshScratchFolder();
  SetEnvironmentVariableA("QUILLET_ARCHIVER_LOG", nullptr);
  CallCommand(kUnlha, "x \"" + folder + "none.lzh\" \"" + folder + "\"");
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "*.log").c_str(), &found);
  EXPECT_EQ(INVALID_HANDLE_VALUE, search);
  if (search != INVALID_HANDLE_VALUE)
    FindClose(search);
}

} // namespace
