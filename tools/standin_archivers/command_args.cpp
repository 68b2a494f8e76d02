#include "command_args.h"

#include "cp932_text.h"

#include <cstring>

bool SplitCommandLine(const char* line, std::vector<CommandArg>* args) {
  args->clear();
  if (!line || !*line)
    return true;
  const char* p = line;
  for (;;) {
    CommandArg arg;
    if (*p == '"') {
      // No trail byte of code page 932 is a double quote, so bytes can be scanned as is.
      const char* close = strchr(p + 1, '"');
      if (!close)
        return false;
      arg = {std::string(p + 1, close), true};
      p = close + 1;
    } else {
      const char* end = p + strcspn(p, " \"");
      if (end == p || *end == '"')
        return false;
      arg = {std::string(p, end), false};
      p = end;
    }
    args->push_back(arg);
    if (!*p)
      return true;
    if (*p != ' ' || p[1] == ' ' || !p[1])
      return false;
    ++p;
  }
}

bool ArgsMatch(const std::vector<CommandArg>& args, std::initializer_list<const char*> pattern) {
  if (args.size() != pattern.size())
    return false;
  size_t i = 0;
  for (const char* word : pattern) {
    const CommandArg& arg = args[i++];
    if (word ? (arg.quoted || arg.text != word) : !arg.quoted)
      return false;
  }
  return true;
}

bool IsFolderArg(const std::string& text) { return EndsWithBackslashChar(text); }

bool IsItemName(const std::string& text) {
  return !text.empty() && text != "." && text != ".." && !HasBackslashChar(text);
}

bool CutSuffix(const std::string& text, const std::string& suffix, std::string* rest) {
  if (!EndsWithChars(text, suffix))
    return false;
  *rest = text.substr(0, text.size() - suffix.size());
  return true;
}

bool CutPrefix(const std::string& text, const std::string& prefix, std::string* rest) {
  if (text.compare(0, prefix.size(), prefix) != 0)
    return false;
  *rest = text.substr(prefix.size());
  return true;
}
