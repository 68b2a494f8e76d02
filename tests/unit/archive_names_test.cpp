#include "archive/archive_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const size_t kCallerSize = 2500;

std::string ArchivePath(const std::string& source, const char* ext, int addExt,
                        const char* outputDir, int outputType) {
  char out[kCallerSize];
  if (!MakeArchivePath(source.c_str(), ext, addExt, outputDir, outputType, out, sizeof out))
    return "<refused:" + std::string(out) + ">";
  return out;
}

std::string TempPath(const std::string& archive, const char* tempDir) {
  char out[kCallerSize];
  if (!MakeTempArchivePath(archive.c_str(), tempDir, out, sizeof out))
    return "<refused:" + std::string(out) + ">";
  return out;
}

std::string ExtractDir(const std::string& archive, const char* outputDir, int outputType,
                       int makeDir) {
  char out[kCallerSize];
  if (!MakeExtractDirPath(archive.c_str(), outputDir, outputType, makeDir, out, sizeof out))
    return "<refused:" + std::string(out) + ">";
  return out;
}

// 表 and 能 end in a 0x5C trail byte.
const std::string kHyo = "\x95\x5c";
const std::string kNouryoku = "\x94\x5c\x97\xcd";

TEST(MakeArchivePath, BesideTheSourceOrInTheOutputFolder) {
  EXPECT_EQ(ArchivePath(R"(C:\data\report.txt)", "lzh", 0, "", 0), R"(C:\data\report.lzh)");
  EXPECT_EQ(ArchivePath(R"(C:\data\report.txt)", "7z", 0, R"(D:\out)", 0), R"(C:\data\report.7z)");
  EXPECT_EQ(ArchivePath(R"(C:\data\report.txt)", "lzh", 1, R"(D:\out)", 1),
            R"(D:\out\report_txt.lzh)");
  EXPECT_EQ(ArchivePath(R"(C:\data\report.txt)", "cab", 0, R"(D:\out)", 1), R"(D:\out\report.cab)");
  // The output folder is taken as typed, so a drive root gets a second backslash.
  EXPECT_EQ(ArchivePath(R"(C:\data\report.txt)", "lzh", 0, R"(D:\)", 1), R"(D:\\report.lzh)");
  EXPECT_EQ(ArchivePath(R"(\\server\share\report.txt)", "zip", 0, "", 0),
            R"(\\server\share\report.zip)");
}

TEST(MakeArchivePath, KeepsTheSourceExtensionOnlyWhenAsked) {
  EXPECT_EQ(ArchivePath(R"(C:\data\README)", "lzh", 0, "", 0), R"(C:\data\README.lzh)");
  EXPECT_EQ(ArchivePath(R"(C:\data\README)", "lzh", 1, "", 0), R"(C:\data\README.lzh)");
  EXPECT_EQ(ArchivePath(R"(C:\data\a.b.c)", "cab", 0, "", 0), R"(C:\data\a.b.cab)");
  EXPECT_EQ(ArchivePath(R"(C:\data\a.b.c)", "cab", 1, "", 0), R"(C:\data\a.b_c.cab)");
  EXPECT_EQ(ArchivePath(R"(C:\data\data.tar.gz)", "7z", 1, R"(D:\out)", 1),
            R"(D:\out\data.tar_gz.7z)");
  // Only the value 1 switches it on, as the settings file may hold others.
  EXPECT_EQ(ArchivePath(R"(C:\data\a.b.c)", "cab", 2, "", 0), R"(C:\data\a.b.cab)");
}

TEST(MakeArchivePath, NamesFoldersLikeFiles) {
  EXPECT_EQ(ArchivePath(R"(C:\data\photos)", "zip", 0, "", 0), R"(C:\data\photos.zip)");
  EXPECT_EQ(ArchivePath(R"(C:\data\album.2003)", "zip", 0, "", 0), R"(C:\data\album.zip)");
  EXPECT_EQ(ArchivePath(R"(C:\data\album.2003)", "zip", 1, "", 0), R"(C:\data\album_2003.zip)");
  EXPECT_EQ(ArchivePath(R"(C:\my.files\photos)", "lzh", 1, "", 0), R"(C:\my.files\photos.lzh)");
}

TEST(MakeArchivePath, DoubleByteNames) {
  EXPECT_EQ(ArchivePath("C:\\data\\" + kHyo + ".txt", "lzh", 1, "", 0),
            "C:\\data\\" + kHyo + "_txt.lzh");
  EXPECT_EQ(ArchivePath("C:\\" + kHyo + "\\" + kNouryoku, "lzh", 0, "", 0),
            "C:\\" + kHyo + "\\" + kNouryoku + ".lzh");
  EXPECT_EQ(ArchivePath("C:\\data\\" + kNouryoku, "cab", 0, ("D:\\" + kHyo).c_str(), 1),
            "D:\\" + kHyo + "\\" + kNouryoku + ".cab");
}

TEST(MakeArchivePath, RefusesRatherThanTruncates) {
  // "\report.lzh" is 11 bytes: 2488 + 11 = 2499 bytes fit 2500 with the terminator.
  std::string fits(2488, 'd');
  std::string tooLong(2489, 'd');
  EXPECT_EQ(ArchivePath(R"(C:\report.txt)", "lzh", 0, fits.c_str(), 1), fits + R"(\report.lzh)");
  EXPECT_EQ(ArchivePath(R"(C:\report.txt)", "lzh", 0, tooLong.c_str(), 1), "<refused:>");
  EXPECT_EQ(ArchivePath("C:\\" + std::string(256, 'n') + ".txt", "lzh", 0, "", 0), "<refused:>");

  // A full-length name and extension make a name longer than a piece, whole.
  std::string name(255, 'n');
  std::string ext(254, 'e');
  EXPECT_EQ(ArchivePath("C:\\" + name + "." + ext, "lzh", 1, "", 0),
            "C:\\" + name + "_" + ext + ".lzh");

  char small[11];
  EXPECT_EQ(MakeArchivePath(R"(C:\a\b.txt)", "lzh", 0, "", 0, small, sizeof small), 1);
  EXPECT_STREQ(small, R"(C:\a\b.lzh)");
  EXPECT_EQ(MakeArchivePath(R"(C:\ab\b.txt)", "lzh", 0, "", 0, small, sizeof small), 0);
  EXPECT_STREQ(small, "");
}

TEST(MakeTempArchivePath, PutsTheArchiveNameIntoTheTempFolder) {
  EXPECT_EQ(TempPath(R"(C:\data\report.lzh)", R"(C:\TEMP)"), R"(C:\TEMP\report.lzh)");
  EXPECT_EQ(TempPath(R"(D:\out\photos.cab)", R"(C:\Users\me\AppData\Local\Temp)"),
            R"(C:\Users\me\AppData\Local\Temp\photos.cab)");
  EXPECT_EQ(TempPath(R"(D:\\a.b_c.cab)", R"(C:\TEMP)"), R"(C:\TEMP\a.b_c.cab)");
  EXPECT_EQ(TempPath("C:\\" + kHyo + "\\" + kNouryoku + ".lzh", R"(C:\TEMP)"),
            "C:\\TEMP\\" + kNouryoku + ".lzh");
}

TEST(MakeTempArchivePath, RefusesAMissingTempFolderAndLongResults) {
  EXPECT_EQ(TempPath(R"(C:\data\report.lzh)", ""), "<refused:>");
  EXPECT_EQ(TempPath(R"(C:\data\report.lzh)", nullptr), "<refused:>");
  std::string fits(2488, 't');
  EXPECT_EQ(TempPath(R"(C:\data\report.lzh)", fits.c_str()), fits + R"(\report.lzh)");
  std::string tooLong(2489, 't');
  EXPECT_EQ(TempPath(R"(C:\data\report.lzh)", tooLong.c_str()), "<refused:>");
}

TEST(MakeExtractDirPath, BesideTheArchiveOrInTheOutputFolder) {
  EXPECT_EQ(ExtractDir(R"(C:\dl\tools.lzh)", "", 0, 0), R"(C:\dl\)");
  EXPECT_EQ(ExtractDir(R"(C:\dl\pack.zip)", "", 0, 1), R"(C:\dl\pack\)");
  EXPECT_EQ(ExtractDir(R"(C:\dl\pack.7z)", R"(D:\out)", 1, 0), R"(D:\out\)");
  EXPECT_EQ(ExtractDir(R"(C:\dl\setup.cab)", R"(D:\out)", 1, 1), R"(D:\out\setup\)");
  EXPECT_EQ(ExtractDir(R"(C:\dl\setup.cab)", R"(D:\)", 1, 0), R"(D:\\)");
  EXPECT_EQ(ExtractDir(R"(C:\dl\setup.cab)", R"(D:\)", 1, 1), R"(D:\\setup\)");
  EXPECT_EQ(ExtractDir(R"(C:\dl\backup.2003.lzh)", "", 0, 1), R"(C:\dl\backup.2003\)");
  EXPECT_EQ(ExtractDir(R"(C:\dl\pack.zip)", "", 0, 2), R"(C:\dl\)");
  EXPECT_EQ(ExtractDir(R"(\\server\share\pack.zip)", "", 0, 1), R"(\\server\share\pack\)");
}

TEST(MakeExtractDirPath, DoubleByteNames) {
  EXPECT_EQ(ExtractDir("C:\\" + kHyo + "\\" + kNouryoku + ".lzh", "", 0, 1),
            "C:\\" + kHyo + "\\" + kNouryoku + "\\");
  EXPECT_EQ(ExtractDir("C:\\dl\\" + kHyo + ".zip", ("D:\\" + kHyo).c_str(), 1, 1),
            "D:\\" + kHyo + "\\" + kHyo + "\\");
}

TEST(MakeExtractDirPath, RefusesRatherThanTruncates) {
  std::string fits(2493, 'o'); // + "\pack\" = 2499
  std::string tooLong(2494, 'o');
  EXPECT_EQ(ExtractDir(R"(C:\dl\pack.zip)", fits.c_str(), 1, 1), fits + R"(\pack\)");
  EXPECT_EQ(ExtractDir(R"(C:\dl\pack.zip)", tooLong.c_str(), 1, 1), "<refused:>");
  std::string rootFits(2498, 'o');
  EXPECT_EQ(ExtractDir(R"(C:\dl\pack.zip)", rootFits.c_str(), 1, 0), rootFits + "\\");
  EXPECT_EQ(ExtractDir(R"(C:\dl\pack.zip)", tooLong.c_str(), 1, 0), tooLong + "\\");
  EXPECT_EQ(ExtractDir(R"(C:\dl\pack.zip)", (rootFits + "o").c_str(), 1, 0), "<refused:>");
  EXPECT_EQ(ExtractDir("C:\\dl\\" + std::string(256, 'n') + ".zip", "", 0, 0), "<refused:>");
}

} // namespace
