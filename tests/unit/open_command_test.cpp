// The command line that starts the registered browser: where the address goes, what is
// cut, and what does not fit.
#include "about/open_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Compose(const char* command, const char* address, size_t size = 520) {
  std::string out(size, '#');
  if (!ComposeOpenCommand(command, address, &out[0], size))
    return out[0] == '\0' ? "<refused>" : "<refused, not emptied>";
  return out.c_str();
}

TEST(OpenCommand, TheAddressTakesThePlaceholdersPlace) {
  EXPECT_EQ(Compose("\"C:\\b.exe\" \"%1\"", "http://x/"), "\"C:\\b.exe\"  http://x/");
  EXPECT_EQ(Compose("\"C:\\b.exe\" -url \"%1\" -new", "http://x/"),
            "\"C:\\b.exe\" -url  http://x/");
  EXPECT_EQ(Compose("C:\\b.exe %1", "http://x/"), "C:\\b.exe  http://x/");
  // The quoted form wins even after a bare one.
  EXPECT_EQ(Compose("b.exe %1 \"%1\"", "a"), "b.exe %1  a");
  EXPECT_EQ(Compose("b.exe -nohome", "a"), "b.exe -nohome a");
  EXPECT_EQ(Compose("", "a"), " a");
}

TEST(OpenCommand, PlaceholdersAreFoundOnlyAtWholeCharacters) {
  // 0x81 leads a two-byte character, so the "%" after it is not a placeholder's.
  EXPECT_EQ(Compose("b.exe \x81%1 %1", "a"), "b.exe \x81%1  a");
  EXPECT_EQ(Compose("b.exe \x81\"%1\" \"%1\"", "a"), "b.exe \x81\"%1\"  a");
  // A trail byte that looks like a backslash or a quote changes nothing either.
  EXPECT_EQ(Compose("\"C:\\\x95\\\\b.exe\" \"%1\"", "a"), "\"C:\\\x95\\\\b.exe\"  a");
  // A lead byte at the very end stands alone.
  EXPECT_EQ(Compose("b.exe \x81", "a"), "b.exe \x81 a");
}

TEST(OpenCommand, WhatDoesNotFitIsRefusedAndLeavesAnEmptyResult) {
  // "ab" + " " + "cd" + terminator: 6 bytes.
  EXPECT_EQ(Compose("ab %1", "cd", 7), "ab  cd");
  EXPECT_EQ(Compose("ab", "cd", 6), "ab cd");
  EXPECT_EQ(Compose("ab", "cd", 5), "<refused>");
  EXPECT_EQ(Compose("abcdef", "", 3), "<refused>");
  EXPECT_EQ(Compose("ab", "cd", 1), "<refused>");
  char untouched = '#';
  EXPECT_EQ(ComposeOpenCommand("ab", "cd", &untouched, 0), 0);
  EXPECT_EQ(untouched, '#');
  std::string longAddress(600, 'a');
  EXPECT_EQ(Compose("\"C:\\b.exe\" \"%1\"", longAddress.c_str()), "<refused>");
}

} // namespace
