#include "base/command_line_tokens.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// All tokens of a command line, read one by one as the intake does.
std::vector<std::string> TokensOf(const char* commandLine) {
  std::vector<std::string> tokens;
  int count = CountTokens(commandLine);
  for (int n = 1; n <= count; ++n) {
    char token[3500];
    EXPECT_EQ(GetToken(commandLine, n, token, sizeof token), 1) << "token " << n;
    tokens.push_back(token);
  }
  return tokens;
}

using Tokens = std::vector<std::string>;

TEST(CommandLineTokens, ProgramPathAlone) {
  EXPECT_EQ(TokensOf("C:\\bin\\quillet.exe"), Tokens({"C:\\bin\\quillet.exe"}));
  EXPECT_EQ(TokensOf("\"C:\\Program Files\\quillet.exe\""),
            Tokens({"C:\\Program Files\\quillet.exe"}));
  // The shell's usual form: quoted path and one space.
  EXPECT_EQ(TokensOf("\"C:\\Program Files\\quillet.exe\" "),
            Tokens({"C:\\Program Files\\quillet.exe"}));
  EXPECT_EQ(TokensOf("quillet.exe "), Tokens({"quillet.exe"}));
  EXPECT_EQ(CountTokens(""), 0);
}

TEST(CommandLineTokens, ItemsSeparatedBySingleSpaces) {
  EXPECT_EQ(TokensOf("prog.exe C:\\a.txt C:\\b.txt"),
            Tokens({"prog.exe", "C:\\a.txt", "C:\\b.txt"}));
  EXPECT_EQ(TokensOf("\"C:\\x y\\prog.exe\" C:\\a.txt \"C:\\My Files\\a.txt\" C:\\b.txt"),
            Tokens({"C:\\x y\\prog.exe", "C:\\a.txt", "C:\\My Files\\a.txt", "C:\\b.txt"}));
}

TEST(CommandLineTokens, QuotesDelimitAndAreDropped) {
  EXPECT_EQ(TokensOf("prog \"C:\\My Files\\a.txt\""), Tokens({"prog", "C:\\My Files\\a.txt"}));
  EXPECT_EQ(TokensOf("prog \"\""), Tokens({"prog", ""}));
  EXPECT_EQ(TokensOf("\"\""), Tokens({""}));
}

TEST(CommandLineTokens, TheByteAfterAClosingQuoteIsDropped) {
  // The x goes; the space after it begins the next token.
  EXPECT_EQ(TokensOf("prog \"C:\\a\"x C:\\b"), Tokens({"prog", "C:\\a", " C:\\b"}));
  // Even a quote: what follows is an unquoted token that keeps its quote.
  EXPECT_EQ(TokensOf("prog \"a\"\"b\""), Tokens({"prog", "a", "b\""}));
  // Quoted tokens with no separator lose the first byte of the next one.
  EXPECT_EQ(TokensOf("\"prog\"abc"), Tokens({"prog", "bc"}));
}

TEST(CommandLineTokens, ExtraSpacesBeginTokens) {
  EXPECT_EQ(TokensOf("prog a  b"), Tokens({"prog", "a", " b"}));
  EXPECT_EQ(TokensOf("prog a "), Tokens({"prog", "a"}));
  EXPECT_EQ(TokensOf("prog a  "), Tokens({"prog", "a", " "}));
  // A space that begins a token cannot end it: the next one does.
  EXPECT_EQ(TokensOf("prog a   "), Tokens({"prog", "a", " "}));
  EXPECT_EQ(TokensOf("prog a    "), Tokens({"prog", "a", " ", " "}));
  EXPECT_EQ(TokensOf(" prog"), Tokens({" prog"}));
  EXPECT_EQ(TokensOf(" "), Tokens({" "}));
}

TEST(CommandLineTokens, QuoteInsideAnUnquotedTokenIsOrdinary) {
  EXPECT_EQ(TokensOf("prog a\"b c"), Tokens({"prog", "a\"b", "c"}));
  EXPECT_EQ(TokensOf("prog a\"b c\""), Tokens({"prog", "a\"b", "c\""}));
}

TEST(CommandLineTokens, UnclosedQuoteRunsToTheEnd) {
  EXPECT_EQ(TokensOf("prog \"C:\\My Files\\a.txt C:\\b"),
            Tokens({"prog", "C:\\My Files\\a.txt C:\\b"}));
  EXPECT_EQ(TokensOf("prog \""), Tokens({"prog", ""}));
}

TEST(CommandLineTokens, NothingPastTheTerminatorIsRead) {
  // A command line ending in a closing quote: the dropped byte would be the
  // terminator, and the tokens behind it must stay unseen.
  const char quoted[] = "prog \"a b\"\0 c d";
  EXPECT_EQ(CountTokens(quoted), 2);
  char token[16];
  EXPECT_EQ(GetToken(quoted, 3, token, sizeof token), 0);
  EXPECT_EQ(GetToken(quoted, 2, token, sizeof token), 1);
  EXPECT_STREQ(token, "a b");
  const char alone[] = "\"a\"\0\"b\"";
  EXPECT_EQ(CountTokens(alone), 1);
}

TEST(CommandLineTokens, DoubleBytePathsPassUnchanged) {
  // 表 and ソ end in 0x5C; neither a quote nor a space is ever a trail byte.
  const char line[] = "prog \"C:\\\x95\x5c \x83\x5c\\a.txt\" C:\\\x95\x5c\\";
  EXPECT_EQ(TokensOf(line), Tokens({"prog", "C:\\\x95\x5c \x83\x5c\\a.txt", "C:\\\x95\x5c\\"}));
}

TEST(GetToken, RefusesMissingTokens) {
  char token[16] = "stale";
  EXPECT_EQ(GetToken("prog a", 3, token, sizeof token), 0);
  EXPECT_STREQ(token, "");
  EXPECT_EQ(GetToken("prog a", 0, token, sizeof token), 0);
  EXPECT_EQ(GetToken("prog a", -1, token, sizeof token), 0);
  // The token begun at the terminator is no token.
  EXPECT_EQ(GetToken("prog a ", 3, token, sizeof token), 0);
  EXPECT_EQ(GetToken("", 1, token, sizeof token), 0);
}

TEST(GetToken, RefusesTokensThatDoNotFit) {
  char token[8];
  EXPECT_EQ(GetToken("prog 1234567 x", 2, token, 8), 1);
  EXPECT_STREQ(token, "1234567");
  EXPECT_EQ(GetToken("prog 12345678 x", 2, token, 8), 0);
  EXPECT_STREQ(token, "");
  EXPECT_EQ(GetToken("prog \"1234 5678\" x", 2, token, 8), 0);
  // Only the token asked for has to fit.
  EXPECT_EQ(GetToken("prog 12345678 x", 3, token, 8), 1);
  EXPECT_STREQ(token, "x");
  char guard[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(GetToken("prog x", 2, guard, 1), 0);
  EXPECT_EQ(guard[0], '\0');
  EXPECT_EQ(guard[1], 'b');
  EXPECT_EQ(GetToken("prog x", 2, guard + 1, 0), 0);
  EXPECT_EQ(guard[1], 'b');
}

} // namespace

// The UTF-16 form follows the same rule, and its tokens are as long as the line allows.
TEST(CommandLineTokens, TheWideFormFollowsTheSameRule) {
  const wchar_t line[] = L"\"C:\\x y\\prog.exe\" C:\\\u00e9.bmp \"C:\\My Files\\\ud55c.txt\"x b";
  const wchar_t* expected[] = {L"C:\\x y\\prog.exe", L"C:\\\u00e9.bmp", L"C:\\My Files\\\ud55c.txt",
                               L" b"};
  ASSERT_EQ(CountTokens(line), 4);
  for (int n = 1; n <= 4; ++n) {
    wchar_t token[64];
    ASSERT_EQ(GetToken(line, n, token, 64), 1) << n;
    EXPECT_EQ(std::wstring(token), expected[n - 1]) << n;
  }
  std::wstring many = L"prog";
  for (int i = 0; i < 400; ++i)
    many += L" C:\\pictures\\item" + std::to_wstring(i) + L".bmp";
  EXPECT_EQ(CountTokens(many.c_str()), 401);
  std::vector<wchar_t> token(many.size() + 1);
  ASSERT_EQ(GetToken(many.c_str(), 401, token.data(), token.size()), 1);
  EXPECT_EQ(std::wstring(token.data()), L"C:\\pictures\\item399.bmp");
}
