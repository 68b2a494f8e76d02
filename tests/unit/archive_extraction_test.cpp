#include "archive/archive_commands.h"
#include "archive/archive_names.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using ExtractFormat = int (*)(char*, size_t, const char*, const char*);

// The destination the way the dispatcher finds it, then the library's command line.
std::string ExtractCommand(ExtractFormat format, const std::string& archive, const char* outputDir,
                           int outputType, int makeDir) {
  char dest[2500];
  char command[2500];
  if (!MakeExtractDirPath(archive.c_str(), outputDir, outputType, makeDir, dest, sizeof dest))
    return "<no destination>";
  if (!format(command, sizeof command, archive.c_str(), dest))
    return "<refused:" + std::string(command) + ">";
  return command;
}

TEST(ExtractionCommands, WorkedExamples) {
  EXPECT_EQ(ExtractCommand(FormatLhaExtract, R"(C:\dl\tools.lzh)", "", 0, 0),
            R"(x "C:\dl\tools.lzh" "C:\dl\")");
  EXPECT_EQ(ExtractCommand(FormatSevenZipExtract, R"(C:\dl\pack.zip)", "", 0, 1),
            R"(x "C:\dl\pack.zip" "-oC:\dl\pack\" *.*)");
  EXPECT_EQ(ExtractCommand(FormatSevenZipExtract, R"(C:\dl\pack.7z)", R"(D:\out)", 1, 0),
            R"(x "C:\dl\pack.7z" "-oD:\out\" *.*)");
  EXPECT_EQ(ExtractCommand(FormatCabExtract, R"(C:\dl\setup.cab)", R"(D:\out)", 1, 1),
            R"(-x "C:\dl\setup.cab" "D:\out\setup\" *.*)");
}

TEST(ExtractionCommands, DestinationsAtTheEdges) {
  EXPECT_EQ(ExtractCommand(FormatCabExtract, R"(C:\dl\setup.cab)", R"(D:\)", 1, 0),
            R"(-x "C:\dl\setup.cab" "D:\\" *.*)");
  EXPECT_EQ(ExtractCommand(FormatCabExtract, R"(C:\dl\setup.cab)", R"(D:\)", 1, 1),
            R"(-x "C:\dl\setup.cab" "D:\\setup\" *.*)");
  EXPECT_EQ(ExtractCommand(FormatLhaExtract, R"(C:\dl\backup.2003.lzh)", "", 0, 1),
            R"(x "C:\dl\backup.2003.lzh" "C:\dl\backup.2003\")");
  EXPECT_EQ(ExtractCommand(FormatSevenZipExtract, R"(\\server\share\pack.zip)", "", 0, 1),
            R"(x "\\server\share\pack.zip" "-o\\server\share\pack\" *.*)");
  // ソフト and 能 end in 0x5C; the folder must still be the archive's name.
  EXPECT_EQ(
      ExtractCommand(FormatLhaExtract, "C:\\\x83\x5c\x83\x74\x83\x67\\\x94\x5c.lzh", "", 0, 1),
      "x \"C:\\\x83\x5c\x83\x74\x83\x67\\\x94\x5c.lzh\" "
      "\"C:\\\x83\x5c\x83\x74\x83\x67\\\x94\x5c\\\"");
}

TEST(ExtractionCommands, RefuseRatherThanTruncate) {
  // `x "A" "-oD\" *.*` is 16 bytes with "A" and "D\".
  char out[32];
  EXPECT_EQ(FormatSevenZipExtract(out, 17, "A", "D\\"), 1);
  EXPECT_STREQ(out, R"(x "A" "-oD\" *.*)");
  EXPECT_EQ(FormatSevenZipExtract(out, 16, "A", "D\\"), 0);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(FormatLhaExtract(out, 11, "A", "D\\"), 1);
  EXPECT_EQ(FormatLhaExtract(out, 10, "A", "D\\"), 0);
  EXPECT_EQ(FormatCabExtract(out, 16, "A", "D\\"), 1);
  EXPECT_EQ(FormatCabExtract(out, 15, "A", "D\\"), 0);

  // A destination that fits its buffer can still make the command too long.
  std::string archive = R"(C:\)" + std::string(200, 'a') + ".zip";
  std::string outputDir(2290, 'o');
  EXPECT_EQ(ExtractCommand(FormatSevenZipExtract, archive, outputDir.c_str(), 1, 0), "<refused:>");
  EXPECT_EQ(ExtractCommand(FormatSevenZipExtract, archive, outputDir.c_str() + 100, 1, 0),
            "x \"" + archive + "\" \"-o" + outputDir.substr(100) + "\\\" *.*");
}

} // namespace
