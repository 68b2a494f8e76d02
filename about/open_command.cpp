#include "about/open_command.h"

#include "base/cp932.h"

#include <cstring>

namespace {

// Offset of the first whole-character occurrence of needle in text, or the text's length.
size_t FindByCharacters(const char* text, const char* needle) {
  size_t needleLength = std::strlen(needle);
  size_t at = 0;
  while (text[at] != '\0') {
    if (std::strncmp(text + at, needle, needleLength) == 0)
      return at;
    at += Cp932CharLength(text + at);
  }
  return at;
}

} // namespace

int ComposeOpenCommand(const char* command, const char* address, char* out, size_t outSize) {
  if (outSize == 0)
    return 0;
  out[0] = '\0';
  size_t cut = FindByCharacters(command, "\"%1\"");
  if (command[cut] == '\0')
    cut = FindByCharacters(command, "%1");
  size_t addressLength = std::strlen(address);
  if (cut >= outSize || addressLength >= outSize - cut - 1)
    return 0;
  std::memcpy(out, command, cut);
  out[cut] = ' ';
  std::memcpy(out + cut + 1, address, addressLength + 1);
  return 1;
}
