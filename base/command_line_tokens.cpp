#include "base/command_line_tokens.h"

namespace {

// Walks the command line by the program's tokenising rule up to the end of token
// `wanted` (0: to the end), copying that token into out when out is given.
// Returns the number of tokens ended; *fits is cleared when the token overflowed out.
int Scan(const char* commandLine, int wanted, char* out, size_t outSize, int* fits) {
  int count = 0;
  int inToken = 0;
  char delimiter = ' ';
  size_t used = 0;
  for (size_t i = 0;; ++i) {
    char c = commandLine[i];
    int copying = out != nullptr && count + 1 == wanted;
    if (!inToken) {
      // Any byte begins a token, a space too; one begun at the terminator never ends.
      inToken = 1;
      delimiter = c == '"' ? '"' : ' ';
      if (c != '"' && c != '\0' && copying) {
        if (used + 1 < outSize)
          out[used++] = c;
        else
          *fits = 0;
      }
    } else if (c == delimiter || c == '\0') {
      inToken = 0;
      ++count;
      if (count == wanted)
        break;
      // The byte after a closing quote is dropped unseen, but never the terminator.
      if (delimiter == '"' && c == '"' && commandLine[i + 1] != '\0')
        ++i;
    } else if (copying) {
      if (used + 1 < outSize)
        out[used++] = c;
      else
        *fits = 0;
    }
    if (c == '\0')
      break;
  }
  if (out != nullptr)
    out[used] = '\0';
  return count;
}

} // namespace

int CountTokens(const char* commandLine) {
  int fits = 1;
  return Scan(commandLine, 0, nullptr, 0, &fits);
}

int GetToken(const char* commandLine, int n, char* out, size_t outSize) {
  if (outSize == 0)
    return 0;
  out[0] = '\0';
  if (n < 1)
    return 0;
  int fits = 1;
  int count = Scan(commandLine, n, out, outSize, &fits);
  if (count < n || !fits) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}
