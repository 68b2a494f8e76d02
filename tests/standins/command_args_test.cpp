// The stand-ins' reading of command lines, piece by piece.
#include "tools/standin_archivers/command_args.h"
#include "tools/standin_archivers/cp932_text.h"
#include "tools/standin_archivers/crc16.h"

#include <gtest/gtest.h>

namespace {

TEST(SplitCommandLineTest, KeepsTheBackslashBeforeAClosingQuote) {
  std::vector<CommandArg> args;
  ASSERT_TRUE(SplitCommandLine("x \"C:\\dl\\pack.zip\" \"-oC:\\dl\\pack\\\" *.*", &args));
  ASSERT_EQ(4u, args.size());
  EXPECT_EQ("x", args[0].text);
  EXPECT_FALSE(args[0].quoted);
  EXPECT_EQ("C:\\dl\\pack.zip", args[1].text);
  EXPECT_TRUE(args[1].quoted);
  EXPECT_EQ("-oC:\\dl\\pack\\", args[2].text);
  EXPECT_EQ("*.*", args[3].text);
  EXPECT_FALSE(args[3].quoted);
}

TEST(SplitCommandLineTest, RefusesWhatTheProgramNeverWrites) {
  std::vector<CommandArg> args;
  EXPECT_FALSE(SplitCommandLine(" a", &args));
  EXPECT_FALSE(SplitCommandLine("a ", &args));
  EXPECT_FALSE(SplitCommandLine("a  b", &args));
  EXPECT_FALSE(SplitCommandLine("a \"b", &args));
  EXPECT_FALSE(SplitCommandLine("a \"b\"c", &args));
  EXPECT_FALSE(SplitCommandLine("a b\"c\"", &args));
  EXPECT_TRUE(SplitCommandLine("", &args));
  EXPECT_TRUE(args.empty());
}

TEST(ArgsMatchTest, TellsBareWordsFromQuotedTexts) {
  std::vector<CommandArg> args;
  ASSERT_TRUE(SplitCommandLine("a \"x\" \"-d\" -d", &args));
  EXPECT_TRUE(ArgsMatch(args, {"a", nullptr, nullptr, "-d"}));
  EXPECT_FALSE(ArgsMatch(args, {"a", nullptr, "-d", "-d"}));
  EXPECT_FALSE(ArgsMatch(args, {"a", nullptr, nullptr}));
}

TEST(Cp932TextTest, TrailBytesAreNotBackslashes) {
  EXPECT_TRUE(EndsWithBackslashChar("C:\\ソ\\"));
  EXPECT_FALSE(EndsWithBackslashChar("C:\\ソ"));
  EXPECT_FALSE(HasBackslashChar("ソフト"));
  EXPECT_EQ("表ソ.txt", LastComponent("C:\\ソ\\表ソ.txt"));
  EXPECT_EQ("ソ", WithoutExtension("ソ.lzh"));
  EXPECT_EQ("a.b", WithoutExtension("a.b.c"));
  EXPECT_EQ("README", WithoutExtension("README"));
  EXPECT_FALSE(EndsWithChars("ソ*", "\\*"));
  EXPECT_TRUE(EndsWithChars("ソ\\*", "\\*"));
  std::vector<std::string> levels = SplitAtBackslashes("ソ\\表\\ソ");
  ASSERT_EQ(3u, levels.size());
  EXPECT_EQ("表", levels[1]);
}

TEST(Cp932TextTest, ConvertsBothWays) {
  std::wstring wide;
  ASSERT_TRUE(Cp932ToWide("表ソ", &wide));
  EXPECT_EQ(L"\u8868\u30bd", wide);
  std::string back;
  ASSERT_TRUE(WideToCp932(wide, &back));
  EXPECT_EQ("表ソ", back);
  EXPECT_FALSE(WideToCp932(L"\u00e9\u4e02", &back)); // not in code page 932
}

TEST(Crc16Test, MatchesTheStandardCheckValue) {
  EXPECT_EQ(0xBB3D, UpdateCrc16(0, "123456789", 9));
  EXPECT_EQ(0xBB3D, UpdateCrc16(UpdateCrc16(0, "1234", 4), "56789", 5));
}

} // namespace
