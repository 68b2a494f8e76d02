// Loading the archiver libraries: versions, commands, and libraries that are missing
// or lack their entry points.
#include "archive/archiver_library.h"
#include "tests/win/support/message_box_watch.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

class ArchiverLibraries : public ::testing::Test {
 protected:
  void UseFolder(const char* buildPath) {
    ASSERT_TRUE(::SetDllDirectoryA(WindowsPath(buildPath).c_str()));
  }
  void TearDown() override { ::SetDllDirectoryA(nullptr); }
};

TEST_F(ArchiverLibraries, VersionsAreTheLow16BitsInHundredths) {
  UseFolder(QUILLET_STANDIN_DIR);
  for (const ArchiverLibrary* lib : {&kLhaLibrary, &kSevenZipLibrary, &kCabLibrary}) {
    double version = -1;
    EXPECT_EQ(GetArchiverVersion(*lib, &version), 0) << lib->fileName;
    EXPECT_GT(version, 0.0) << lib->fileName;
    // Released after the call: nothing stays loaded.
    EXPECT_EQ(::GetModuleHandleA(lib->fileName), nullptr) << lib->fileName;
  }
  double lha = 0;
  GetArchiverVersion(kLhaLibrary, &lha);
  EXPECT_DOUBLE_EQ(lha, 2.63);
}

TEST_F(ArchiverLibraries, MissingLibrariesAnswerQuietlyForVersionsAndLoudlyForCommands) {
  UseFolder(QUILLET_ENTRYLESS_DIR); // holds only an entry-less cab32.dll
  MessageBoxWatch watch;
  double version = -1;
  EXPECT_EQ(GetArchiverVersion(kLhaLibrary, &version), 1);
  EXPECT_EQ(version, -1);
  // A box would have been shown, and answered, before the query returned.
  EXPECT_TRUE(watch.Seen().empty()) << "a version query showed a message";

  EXPECT_EQ(RunArchiver(kLhaLibrary, nullptr, "x \"a.lzh\" \"C:\\\""), 1);
  EXPECT_EQ(RunArchiver(kSevenZipLibrary, nullptr, "x"), 1);
  std::vector<SeenMessage> seen = watch.Seen();
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].title, "win_tests") << "the framework's box is titled with the program's name";
  EXPECT_EQ(seen[0].text, "UNLHA32.DLL が見つかりません。");
  EXPECT_EQ(seen[1].text, "7-Zip32.dll が見つかりません。");
}

TEST_F(ArchiverLibraries, ALibraryWithoutItsEntryPointIsTreatedAsMissing) {
  UseFolder(QUILLET_ENTRYLESS_DIR);
  MessageBoxWatch watch;
  double version = -1;
  EXPECT_EQ(GetArchiverVersion(kCabLibrary, &version), 1);
  EXPECT_EQ(RunArchiver(kCabLibrary, nullptr, "-x \"a.cab\" \"C:\\\" *.*"), 1);
  std::vector<SeenMessage> seen = watch.Seen();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].text, "CAB32.DLL が見つかりません。");
}

TEST_F(ArchiverLibraries, CommandsReachTheLibraryByteForByte) {
  UseFolder(QUILLET_STANDIN_DIR);
  char temp[MAX_PATH] = {0};
  ::GetTempPathA(sizeof temp, temp);
  std::string log = std::string(temp) + "win-tests-archiver.log";
  ::DeleteFileA(log.c_str());
  ::SetEnvironmentVariableA("QUILLET_ARCHIVER_LOG", log.c_str());
  const char* command = "x \"C:\\dl\\\x95\x5c.lzh\" \"C:\\dl\\\"";
  EXPECT_EQ(RunArchiver(kLhaLibrary, nullptr, command), 0);
  ::SetEnvironmentVariableA("QUILLET_ARCHIVER_LOG", nullptr);
  std::ifstream in(log, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  EXPECT_EQ(ss.str(), std::string("Unlha\t") + command + "\n");
  EXPECT_EQ(::GetModuleHandleA("unlha32.dll"), nullptr);
}

} // namespace
