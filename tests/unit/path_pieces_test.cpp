#include "base/path_pieces.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct Split {
  int ok;
  std::string drive, dir, name, ext;
};

Split SplitOf(const std::string& path) {
  PathPieces p;
  int ok = SplitPath(path.c_str(), &p);
  return {ok, p.drive, p.dir, p.name, p.ext};
}

void ExpectSplit(const std::string& path, const char* drive, const char* dir, const char* name,
                 const char* ext) {
  SCOPED_TRACE(path);
  Split s = SplitOf(path);
  EXPECT_EQ(s.ok, 1);
  EXPECT_EQ(s.drive, drive);
  EXPECT_EQ(s.dir, dir);
  EXPECT_EQ(s.name, name);
  EXPECT_EQ(s.ext, ext);
}

std::string Join(const char* drive, const char* dir, const char* name, const char* ext,
                 size_t size = 300) {
  char out[300];
  memset(out, 'x', sizeof out);
  if (!JoinPath(out, size, drive, dir, name, ext))
    return "<refused:" + std::string(out) + ">";
  return out;
}

// 表 ソフト 能力 十: every one of these ends in a 0x5C trail byte.
const char kHyo[] = "\x95\x5c";
const char kSofuto[] = "\x83\x5c\x83\x74\x83\x67";
const char kNouryoku[] = "\x94\x5c\x97\xcd";
const char kJuu[] = "\x8f\x5c";

TEST(SplitPath, PlainPaths) {
  ExpectSplit("C:\\data\\report.txt", "C:", "\\data\\", "report", ".txt");
  ExpectSplit("report.txt", "", "", "report", ".txt");
  ExpectSplit("C:report.txt", "C:", "", "report", ".txt");
  ExpectSplit("C:", "C:", "", "", "");
  ExpectSplit("", "", "", "", "");
  ExpectSplit("C:\\data\\README", "C:", "\\data\\", "README", "");
  ExpectSplit("C:\\data\\photos\\", "C:", "\\data\\photos\\", "", "");
  ExpectSplit("C:\\", "C:", "\\", "", "");
}

TEST(SplitPath, DotsBelongToTheLastComponentOnly) {
  ExpectSplit("C:\\album.2003\\cover", "C:", "\\album.2003\\", "cover", "");
  ExpectSplit("C:\\album.2003", "C:", "\\", "album", ".2003");
  ExpectSplit("C:\\data\\data.tar.gz", "C:", "\\data\\", "data.tar", ".gz");
  ExpectSplit("C:\\a.b\\c.d.e", "C:", "\\a.b\\", "c.d", ".e");
  ExpectSplit("C:\\home\\.profile", "C:", "\\home\\", "", ".profile");
  ExpectSplit("C:\\data\\file.", "C:", "\\data\\", "file", ".");
  ExpectSplit("C:\\a\\..", "C:", "\\a\\", ".", ".");
  ExpectSplit("..\\x.txt", "", "..\\", "x", ".txt");
  ExpectSplit("C:\\a\\..\\b", "C:", "\\a\\..\\", "b", "");
}

TEST(SplitPath, SlashIsASeparatorToo) {
  ExpectSplit("C:/data/report.txt", "C:", "/data/", "report", ".txt");
  ExpectSplit("C:\\data/sub\\x.y", "C:", "\\data/sub\\", "x", ".y");
}

TEST(SplitPath, UncPaths) {
  ExpectSplit("\\\\server\\share\\file.txt", "", "\\\\server\\share\\", "file", ".txt");
  ExpectSplit("\\\\server\\share", "", "\\\\server\\", "share", "");
}

TEST(SplitPath, TrailBytesAreNeitherSeparatorNorPartOfTheNextPiece) {
  std::string hyo = std::string("C:\\") + kHyo + ".txt";
  ExpectSplit(hyo, "C:", "\\", kHyo, ".txt");

  std::string sofuto = std::string("C:\\") + kSofuto + "\\" + kNouryoku + ".lzh";
  ExpectSplit(sofuto, "C:", (std::string("\\") + kSofuto + "\\").c_str(), kNouryoku, ".lzh");

  // A name that ends in 0x5C is not a directory.
  std::string juu = std::string("D:\\x\\") + kJuu;
  ExpectSplit(juu, "D:", "\\x\\", kJuu, "");

  // A folder of double-byte characters with a dot, then a file.
  std::string dotted = std::string("C:\\") + kHyo + "." + kJuu + "\\" + kHyo;
  ExpectSplit(dotted, "C:", (std::string("\\") + kHyo + "." + kJuu + "\\").c_str(), kHyo, "");
}

TEST(SplitPath, DriveNeedsASingleByteFirstCharacter) {
  // 0x83 0x3A is not a valid pair but the lead byte still takes the colon with it.
  ExpectSplit("\x83:x", "", "", "\x83:x", "");
  ExpectSplit(":x", "", "", ":x", "");
}

TEST(SplitPath, LeadByteRightBeforeTheEndIsTakenAlone) {
  ExpectSplit("C:\\a.b\x83", "C:", "\\", "a", ".b\x83");
  ExpectSplit("\x83", "", "", "\x83", "");
}

TEST(SplitPath, PiecesOfMoreThan255BytesAreRefused) {
  std::string n255(255, 'n');
  std::string n256(256, 'n');
  EXPECT_EQ(SplitOf("C:\\" + n255 + ".txt").ok, 1);
  EXPECT_EQ(SplitOf("C:\\" + n255 + ".txt").name, n255);
  EXPECT_EQ(SplitOf("C:\\" + n256 + ".txt").ok, 0);
  EXPECT_EQ(SplitOf("C:\\x." + n255).ok, 0); // the dot makes the extension 256 bytes
  EXPECT_EQ(SplitOf("C:\\x." + std::string(254, 'e')).ok, 1);
  std::string dir254(254, 'd');
  EXPECT_EQ(SplitOf("C:\\" + dir254 + "\\x").ok, 0); // 256 bytes with both backslashes
  EXPECT_EQ(SplitOf("C:" + std::string(253, 'd') + "\\x").ok, 1);
  // The directory is one piece, however many levels it has.
  std::string deep;
  for (int i = 0; i < 12; ++i)
    deep += "\\" + std::string(20, 'd');
  EXPECT_EQ(SplitOf("C:" + deep + "\\x").ok, 1);
  EXPECT_EQ(SplitOf("C:" + deep + "\\" + std::string(20, 'd') + "\\x").ok, 0);
}

TEST(JoinPath, AddsTheMissingBackslashAndDot) {
  EXPECT_EQ(Join("C:", "\\data\\", "report", ".lzh"), "C:\\data\\report.lzh");
  EXPECT_EQ(Join("C:", "\\data", "report", "lzh"), "C:\\data\\report.lzh");
  EXPECT_EQ(Join("C:", "/data/", "report", "lzh"), "C:/data/report.lzh");
  EXPECT_EQ(Join("", "", "report", "lzh"), "report.lzh");
  EXPECT_EQ(Join("C:", "", "report", ""), "C:report");
  EXPECT_EQ(Join(nullptr, nullptr, "report", nullptr), "report");
  EXPECT_EQ(Join("C:", "\\", "", ".profile"), "C:\\.profile");
  EXPECT_EQ(Join("C:", "\\a\\", ".", "."), "C:\\a\\..");
}

TEST(JoinPath, JudgesTheDirectoryByItsLastWholeCharacter) {
  std::string sofuto = std::string("\\") + kSofuto;
  EXPECT_EQ(Join("C:", sofuto.c_str(), "a", "txt"), "C:" + sofuto + "\\a.txt");
  std::string juu = std::string("\\") + kJuu;
  EXPECT_EQ(Join("C:", juu.c_str(), "a", "txt"), "C:" + juu + "\\a.txt");
  std::string withSep = std::string("\\") + kJuu + "\\";
  EXPECT_EQ(Join("C:", withSep.c_str(), "a", "txt"), "C:" + withSep + "a.txt");
}

TEST(JoinPath, RoundTripsWhatSplitPathTookApart) {
  const std::string paths[] = {
      "C:\\data\\report.txt",
      "\\\\server\\share\\file.txt",
      "C:\\home\\.profile",
      "C:\\a\\..",
      std::string("C:\\") + kSofuto + "\\" + kNouryoku + ".lzh",
      std::string("D:\\x\\") + kJuu,
  };
  for (const std::string& path : paths) {
    PathPieces p;
    ASSERT_EQ(SplitPath(path.c_str(), &p), 1);
    EXPECT_EQ(Join(p.drive, p.dir, p.name, p.ext), path);
  }
}

TEST(JoinPath, RefusesWhatDoesNotFitAndLeavesAnEmptyString) {
  // "C:\d\n.e" is 8 bytes: it needs 9 with the terminator.
  EXPECT_EQ(Join("C:", "\\d\\", "n", ".e", 9), "C:\\d\\n.e");
  EXPECT_EQ(Join("C:", "\\d\\", "n", ".e", 8), "<refused:>");
  EXPECT_EQ(Join("C:", "\\d", "n", "e", 9), "C:\\d\\n.e");
  EXPECT_EQ(Join("C:", "\\d", "n", "e", 8), "<refused:>");
  EXPECT_EQ(Join("C:", "\\d", "n", "e", 1), "<refused:>");
  char untouched = 'x';
  EXPECT_EQ(JoinPath(&untouched, 0, "C:", "", "", ""), 0);
  EXPECT_EQ(untouched, 'x');
}

TEST(EndsWithBackslash, LooksAtTheLastWholeCharacter) {
  EXPECT_EQ(EndsWithBackslash("D:\\"), 1);
  EXPECT_EQ(EndsWithBackslash("\\"), 1);
  EXPECT_EQ(EndsWithBackslash("D:\\out"), 0);
  EXPECT_EQ(EndsWithBackslash(""), 0);
  EXPECT_EQ(EndsWithBackslash("D:/"), 0);
  EXPECT_EQ(EndsWithBackslash(kHyo), 0);
  EXPECT_EQ(EndsWithBackslash((std::string("C:\\") + kSofuto).c_str()), 0);
  EXPECT_EQ(EndsWithBackslash((std::string("C:\\") + kJuu + "\\").c_str()), 1);
  EXPECT_EQ(EndsWithBackslash("a\x83\\"), 0); // the pair 0x83 0x5C
  EXPECT_EQ(EndsWithBackslash("a\\\x83"), 0);
}

} // namespace
