// Splits a command line the way the program writes them: arguments separated by single
// spaces, each either bare or wholly in double quotes. Inside quotes a backslash is an
// ordinary character, so a folder keeps its trailing backslash right before the quote.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

struct CommandArg {
  std::string text; // without the quotes
  bool quoted;
};

// False for anything else: doubled or edge spaces, an unclosed quote, a quote inside a
// bare argument, or text glued to a closing quote.
bool SplitCommandLine(const char* line, std::vector<CommandArg>* args);

// Whether args are bare words and quoted texts in exactly this order; pattern entries
// are the bare words themselves, or nullptr for a quoted argument.
bool ArgsMatch(const std::vector<CommandArg>& args, std::initializer_list<const char*> pattern);

// A folder argument: not empty, ending in a backslash.
bool IsFolderArg(const std::string& text);

// One level's name: not empty, no backslash, neither "." nor "..".
bool IsItemName(const std::string& text);

// Cuts text's suffix off into *rest when text ends with it; false otherwise.
bool CutSuffix(const std::string& text, const std::string& suffix, std::string* rest);

// Cuts text's prefix off into *rest when text starts with it; false otherwise.
bool CutPrefix(const std::string& text, const std::string& prefix, std::string* rest);
