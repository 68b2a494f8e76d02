// Each stand-in understands the program's command lines and nothing more: anything else
// is refused with a non-zero result, and nothing is made.
#include "support/scratch.h"
#include "support/standin_library.h"

#include <windows.h>
#include <gtest/gtest.h>

namespace {

const int kUnknownCommand = 0x8001;

class RefusalTest : public testing::Test {
 protected:
  void SetUp() override {
    scratch_ = FreshScratchFolder();
    ASSERT_TRUE(MakeFolder(scratch_ + "src"));
    ASSERT_TRUE(MakeFolder(scratch_ + "src\\photos"));
    ASSERT_TRUE(WriteFileBytes(scratch_ + "src\\photos\\a.txt", "a"));
    ASSERT_TRUE(WriteFileBytes(scratch_ + "src\\report.txt", "r"));
  }
  // Replaces every '@' in pattern with the scratch folder (ending in a backslash).
  std::string Line(const std::string& pattern) const {
    std::string line;
    for (char c : pattern)
      line += c == '@' ? scratch_ : std::string(1, c);
    return line;
  }
  void ExpectRefused(const StandinLibrary& library, const std::string& pattern) {
    EXPECT_EQ(kUnknownCommand, CallCommand(library, Line(pattern))) << Line(pattern);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((scratch_ + "*").c_str(), &found);
    int entries = 0;
    if (search != INVALID_HANDLE_VALUE) {
      do {
        std::string name = found.cFileName;
        entries += name != "." && name != "..";
      } while (FindNextFileA(search, &found));
      FindClose(search);
    }
    EXPECT_EQ(1, entries) << "something was made by: " << Line(pattern);
  }

  std::string scratch_;
};

TEST_F(RefusalTest, UnlhaRefusesOtherCommands) {
  ExpectRefused(kUnlha, "");
  ExpectRefused(kUnlha, "l \"@a.lzh\"");
  ExpectRefused(kUnlha, "a @a.lzh \"@src\\report.txt\"");           // unquoted path
  ExpectRefused(kUnlha, "a  \"@a.lzh\" \"@src\\report.txt\"");      // doubled space
  ExpectRefused(kUnlha, "a \"@a.lzh\" \"@src\\report.txt\" ");      // trailing space
  ExpectRefused(kUnlha, "a \"@a.lzh\" \"@src\\report.txt");         // unclosed quote
  ExpectRefused(kUnlha, "a \"@a.lzh\" \"@src\\\" \"photos\"");      // folder form lacks -d
  ExpectRefused(kUnlha, "a \"@a.lzh\" \"@src\" \"photos\" -d");     // folder lacks its '\\'
  ExpectRefused(kUnlha, "a \"@a.lzh\" \"@src\\\" \"photos\\\" -d"); // name with a '\\'
  ExpectRefused(kUnlha, "a -r \"@a.lzh\" \"@src\\report.txt\"");
  ExpectRefused(kUnlha, "x \"@a.lzh\" \"@out\""); // destination lacks '\\'
  ExpectRefused(kUnlha, "x \"@a.lzh\" \"@out\\\" *.*");
  ExpectRefused(kUnlha, "s -gw \"@a.lzh\" \"@out\\\"");
  ExpectRefused(kUnlha, "-f \"@a.lzh\" \"@out\\\"");
}

TEST_F(RefusalTest, SevenZipRefusesOtherCommands) {
  ExpectRefused(kSevenZip, "a -tgzip \"@a.gz\" \"@src\\\" \"report.txt\"");
  ExpectRefused(kSevenZip, "a \"@a.zip\" \"@src\\\" \"report.txt\"");
  ExpectRefused(kSevenZip, "a -tzip \"@a.zip\" \"@src\\report.txt\"");
  ExpectRefused(kSevenZip, "a -tzip \"@a.zip\" \"@src\\\" \"-ir!photos\"");
  ExpectRefused(kSevenZip, "a -tzip \"@a.zip\" \"@src\\\" \"-ir!photos\\*.*\"");
  ExpectRefused(kSevenZip, "a -tzip \"@a.zip\" \"@src\\\" -ir!photos\\*");
  ExpectRefused(kSevenZip, "x \"@a.zip\" \"@out\\\" *.*"); // no -o
  ExpectRefused(kSevenZip, "x \"@a.zip\" \"-o@out\\\"");   // no *.*
  ExpectRefused(kSevenZip, "x \"@a.zip\" -o\"@out\\\" *.*");
  ExpectRefused(kSevenZip, "e \"@a.zip\" \"-o@out\\\" *.*");
}

TEST_F(RefusalTest, CabRefusesOtherCommands) {
  ExpectRefused(kCab, "-a \"@a.cab\" \"@src\\report.txt\"");
  ExpectRefused(kCab, "-a \"@a.cab\" \"@src\\\" \"photos\\*.*\""); // folder form lacks -r
  ExpectRefused(kCab, "-a -r \"@a.cab\" \"@src\\\" \"photos\\*\"");
  ExpectRefused(kCab, "-a -r \"@a.cab\" \"@src\\\" \"photos\"");
  ExpectRefused(kCab, "a \"@a.cab\" \"@src\\\" \"report.txt\"");
  ExpectRefused(kCab, "-x \"@a.cab\" \"@out\\\""); // no *.*
  ExpectRefused(kCab, "-x \"@a.cab\" \"@out\" *.*");
  ExpectRefused(kCab, "-f \"@a.cab\" \"@out\"");
  ExpectRefused(kCab, "-f -x \"@a.cab\" \"@out\\\"");
}

TEST_F(RefusalTest, NameEndingInADoubleByteCharacterIsNotAFolderPattern) {
  // "ソ" is 0x83 0x5C: "ソ*.*" must not read as "\\*.*" after a name "(0x83)".
  ExpectRefused(kCab, "-a -r \"@a.cab\" \"@src\\\" \"ソ*.*\"");
  ExpectRefused(kSevenZip, "a -tzip \"@a.zip\" \"@src\\\" \"-ir!ソ*\"");
}

} // namespace
