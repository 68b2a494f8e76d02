#include "archive/archive_commands.h"
#include "archive/archive_formats.h"
#include "archive/archive_names.h"
#include "archive/compression_plan.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {

const char kTemp[] = R"(C:\TEMP)";

struct Case {
  const char* source;
  int isFolder;
  int archiveType;
  int addExt;
  int outputType;
  const char* outputDir;
  int archiver;
  const char* archivePath;
  const char* tempPath;
  const char* first;
  const char* second;
};

// The product's plan for an ArchiveType; 0 for an unknown type or what does not fit.
int Make(const char* source, int isFolder, int archiveType, int addExt, int outputType,
         const char* outputDir, const char* tempDir, CompressionPlan* plan) {
  const ArchiveFormat* format = FindArchiveFormat(archiveType);
  return format != nullptr && MakeCompressionPlan(source, isFolder, *format, addExt, outputDir,
                                                  outputType, tempDir, plan)
             ? 1
             : 0;
}

void ExpectPlan(const Case& c) {
  SCOPED_TRACE(c.first);
  std::unique_ptr<CompressionPlan> m(new CompressionPlan);
  ASSERT_EQ(Make(c.source, c.isFolder, c.archiveType, c.addExt, c.outputType, c.outputDir, kTemp,
                 m.get()),
            1);
  EXPECT_EQ(m->archiver, c.archiver);
  EXPECT_STREQ(m->archive, c.archivePath);
  EXPECT_STREQ(m->tempArchive, c.tempPath);
  EXPECT_STREQ(m->first, c.first);
  EXPECT_STREQ(m->second, c.second);
}

TEST(ArchiveCreation, WorkedExamples) {
  const Case cases[] = {
      {R"(C:\data\report.txt)", 0, 0, 0, 0, "", kArchiverLha, R"(C:\data\report.lzh)", "",
       R"(a "C:\data\report.lzh" "C:\data\report.txt")", ""},
      {R"(C:\data\report.txt)", 0, 0, 1, 1, R"(D:\out)", kArchiverLha, R"(D:\out\report_txt.lzh)",
       "", R"(a "D:\out\report_txt.lzh" "C:\data\report.txt")", ""},
      {R"(C:\data\photos)", 1, 0, 0, 0, "", kArchiverLha, R"(C:\data\photos.lzh)", "",
       R"(a "C:\data\photos.lzh" "C:\data\" "photos" -d)", ""},
      {R"(C:\data\photos)", 1, 2, 0, 0, "", kArchiverSevenZip, R"(C:\data\photos.zip)", "",
       R"(a -tzip "C:\data\photos.zip" "C:\data\" "-ir!photos\*")", ""},
      {R"(C:\data\report.txt)", 0, 3, 0, 0, "", kArchiverSevenZip, R"(C:\data\report.7z)", "",
       R"(a -t7z "C:\data\report.7z" "C:\data\" "report.txt")", ""},
      {R"(C:\data\photos)", 1, 4, 0, 0, "", kArchiverCab, R"(C:\data\photos.cab)", "",
       R"(-a -r "C:\data\photos.cab" "C:\data\" "photos\*.*")", ""},
      {R"(C:\data\report.txt)", 0, 1, 0, 0, "", kArchiverLha, R"(C:\data\report.lzh)",
       R"(C:\TEMP\report.lzh)", R"(a "C:\TEMP\report.lzh" "C:\data\report.txt")",
       R"(s -gw -x "C:\TEMP\report.lzh" "C:\data\")"},
      {R"(C:\data\photos)", 1, 5, 0, 1, R"(D:\out)", kArchiverCab, R"(D:\out\photos.cab)",
       R"(C:\TEMP\photos.cab)", R"(-a -r "C:\TEMP\photos.cab" "C:\data\" "photos\*.*")",
       R"(-f "C:\TEMP\photos.cab" "D:\out\")"},
  };
  for (const Case& c : cases)
    ExpectPlan(c);
}

TEST(ArchiveCreation, TheFormsTheExamplesLeaveOut) {
  const Case cases[] = {
      {R"(C:\data\photos)", 1, 3, 0, 0, "", kArchiverSevenZip, R"(C:\data\photos.7z)", "",
       R"(a -t7z "C:\data\photos.7z" "C:\data\" "-ir!photos\*")", ""},
      {R"(C:\data\report.txt)", 0, 2, 0, 0, "", kArchiverSevenZip, R"(C:\data\report.zip)", "",
       R"(a -tzip "C:\data\report.zip" "C:\data\" "report.txt")", ""},
      {R"(C:\data\report.txt)", 0, 4, 0, 0, "", kArchiverCab, R"(C:\data\report.cab)", "",
       R"(-a "C:\data\report.cab" "C:\data\" "report.txt")", ""},
      {R"(C:\data\photos)", 1, 1, 0, 1, R"(D:\out)", kArchiverLha, R"(D:\out\photos.lzh)",
       R"(C:\TEMP\photos.lzh)", R"(a "C:\TEMP\photos.lzh" "C:\data\" "photos" -d)",
       R"(s -gw -x "C:\TEMP\photos.lzh" "D:\out\")"},
      {R"(C:\data\report.txt)", 0, 5, 1, 0, "", kArchiverCab, R"(C:\data\report_txt.cab)",
       R"(C:\TEMP\report_txt.cab)", R"(-a "C:\TEMP\report_txt.cab" "C:\data\" "report.txt")",
       R"(-f "C:\TEMP\report_txt.cab" "C:\data\")"},
  };
  for (const Case& c : cases)
    ExpectPlan(c);
}

TEST(ArchiveCreation, NamesAndCommandsOfAwkwardSources) {
  const Case cases[] = {
      // A folder is named without what follows its last dot, but handed over whole.
      {R"(C:\data\album.2003)", 1, 2, 0, 0, "", kArchiverSevenZip, R"(C:\data\album.zip)", "",
       R"(a -tzip "C:\data\album.zip" "C:\data\" "-ir!album.2003\*")", ""},
      {R"(C:\data\album.2003)", 1, 2, 1, 0, "", kArchiverSevenZip, R"(C:\data\album_2003.zip)", "",
       R"(a -tzip "C:\data\album_2003.zip" "C:\data\" "-ir!album.2003\*")", ""},
      {R"(C:\data\album.2003)", 1, 4, 0, 0, "", kArchiverCab, R"(C:\data\album.cab)", "",
       R"(-a -r "C:\data\album.cab" "C:\data\" "album.2003\*.*")", ""},
      {R"(C:\data\album.2003)", 1, 0, 0, 0, "", kArchiverLha, R"(C:\data\album.lzh)", "",
       R"(a "C:\data\album.lzh" "C:\data\" "album.2003" -d)", ""},
      {R"(C:\data\README)", 0, 0, 1, 0, "", kArchiverLha, R"(C:\data\README.lzh)", "",
       R"(a "C:\data\README.lzh" "C:\data\README")", ""},
      {R"(C:\data\a.b.c)", 0, 4, 1, 0, "", kArchiverCab, R"(C:\data\a.b_c.cab)", "",
       R"(-a "C:\data\a.b_c.cab" "C:\data\" "a.b.c")", ""},
      // A drive root as output folder doubles the backslash, in the self-extracting
      // destination too.
      {R"(C:\data\report.txt)", 0, 1, 0, 1, R"(D:\)", kArchiverLha, R"(D:\\report.lzh)",
       R"(C:\TEMP\report.lzh)", R"(a "C:\TEMP\report.lzh" "C:\data\report.txt")",
       R"(s -gw -x "C:\TEMP\report.lzh" "D:\\")"},
      // 表 and ソ end in 0x5C: the split must not cut them.
      {"C:\\\x83\x5c\\\x95\x5c", 1, 2, 0, 0, "", kArchiverSevenZip, "C:\\\x83\x5c\\\x95\x5c.zip",
       "", "a -tzip \"C:\\\x83\x5c\\\x95\x5c.zip\" \"C:\\\x83\x5c\\\" \"-ir!\x95\x5c\\*\"", ""},
      {"C:\\\x83\x5c\\\x95\x5c.txt", 0, 5, 0, 0, "", kArchiverCab, "C:\\\x83\x5c\\\x95\x5c.cab",
       "C:\\TEMP\\\x95\x5c.cab",
       "-a \"C:\\TEMP\\\x95\x5c.cab\" \"C:\\\x83\x5c\\\" \"\x95\x5c.txt\"",
       "-f \"C:\\TEMP\\\x95\x5c.cab\" \"C:\\\x83\x5c\\\""},
  };
  for (const Case& c : cases)
    ExpectPlan(c);
}

TEST(ArchiveCreation, RefusesUnknownTypesAndWhatDoesNotFit) {
  std::unique_ptr<CompressionPlan> plan(new CompressionPlan);
  EXPECT_EQ(Make(R"(C:\a.txt)", 0, -1, 0, 0, "", kTemp, plan.get()), 0);
  EXPECT_EQ(Make(R"(C:\a.txt)", 0, 6, 0, 0, "", kTemp, plan.get()), 0);
  EXPECT_EQ(FindArchiveFormat(-1), nullptr);
  EXPECT_EQ(FindArchiveFormat(6), nullptr);
  for (int type = 0; type <= 5; ++type)
    EXPECT_NE(FindArchiveFormat(type), nullptr) << type;

  // Self-extracting formats need the temp folder; the others do not.
  EXPECT_EQ(Make(R"(C:\a.txt)", 0, 1, 0, 0, "", "", plan.get()), 0);
  EXPECT_EQ(Make(R"(C:\a.txt)", 0, 5, 0, 0, "", nullptr, plan.get()), 0);
  EXPECT_EQ(Make(R"(C:\a.txt)", 0, 0, 0, 0, "", nullptr, plan.get()), 1);

  // The archive path fits but the command line around it does not.
  std::string outputDir(2400, 'o');
  std::string source = R"(C:\)" + std::string(150, 's') + ".txt";
  EXPECT_EQ(Make(source.c_str(), 0, 0, 0, 1, outputDir.c_str(), kTemp, plan.get()), 0);
  EXPECT_EQ(Make(source.c_str(), 0, 0, 0, 1, outputDir.c_str() + 300, kTemp, plan.get()), 1);
  // The archive path itself does not fit.
  std::string hugeDir(2495, 'o');
  EXPECT_EQ(Make(R"(C:\a.txt)", 0, 2, 0, 1, hugeDir.c_str(), kTemp, plan.get()), 0);
}

std::string Command(int (*format)(char*, size_t, const char*, const char*, int),
                    const std::string& archive, const std::string& source, int isFolder,
                    size_t size = 2500) {
  char out[2500];
  if (!format(out, size, archive.c_str(), source.c_str(), isFolder))
    return "<refused:" + std::string(out) + ">";
  return out;
}

TEST(CreationCommands, RefuseRatherThanTruncate) {
  // `a "A" "S"` is 9 bytes.
  EXPECT_EQ(Command(FormatLhaCreate, "A", "S", 0, 10), R"(a "A" "S")");
  EXPECT_EQ(Command(FormatLhaCreate, "A", "S", 0, 9), "<refused:>");
  // `-a "A" "" "S"` is 13 bytes.
  EXPECT_EQ(Command(FormatCabCreate, "A", "S", 0, 14), R"(-a "A" "" "S")");
  EXPECT_EQ(Command(FormatCabCreate, "A", "S", 0, 13), "<refused:>");
  std::string archive(2480, 'a');
  EXPECT_EQ(Command(FormatLhaCreate, archive, R"(C:\data\photos)", 1),
            "<refused:>"); // 2480 + 28
  EXPECT_EQ(Command(FormatLhaCreate, archive.substr(0, 2471), R"(C:\data\photos)", 1),
            "a \"" + archive.substr(0, 2471) + R"(" "C:\data\" "photos" -d)");
  // Pieces over 255 bytes are refused wherever the source is split.
  std::string longName = R"(C:\data\)" + std::string(256, 'n');
  EXPECT_EQ(Command(FormatLhaCreate, "A", longName, 1), "<refused:>");
  EXPECT_EQ(Command(FormatCabCreate, "A", longName, 0), "<refused:>");
  char out[2500];
  EXPECT_EQ(FormatSevenZipCreate(out, sizeof out, "A", longName.c_str(), "zip", 0), 0);
  EXPECT_EQ(FormatLhaSfxStep(out, sizeof out, "T", (longName + "\\x.lzh").c_str()), 0);
  EXPECT_EQ(
      FormatCabSfxStep(out, sizeof out, "T", ("C:\\" + std::string(255, 'd') + "\\x.cab").c_str()),
      0);
}

} // namespace
