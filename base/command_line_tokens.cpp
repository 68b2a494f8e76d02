#include "base/command_line_tokens.h"

namespace {

// Walks the command line by the program's tokenising rule up to the end of token
// `wanted` (0: to the end), copying that token into out when out is given.
// Returns the number of tokens ended; *fits is cleared when the token overflowed out.
template <typename Char>
int Scan(const Char* commandLine, int wanted, Char* out, size_t outSize, int* fits) {
  int count = 0;
  int inToken = 0;
  Char delimiter = ' ';
  size_t used = 0;
  for (size_t i = 0;; ++i) {
    const Char c = commandLine[i];
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

template <typename Char> int CountTokensOf(const Char* commandLine) {
  int fits = 1;
  return Scan<Char>(commandLine, 0, nullptr, 0, &fits);
}

template <typename Char> int GetTokenOf(const Char* commandLine, int n, Char* out, size_t outSize) {
  if (outSize == 0)
    return 0;
  out[0] = '\0';
  if (n < 1)
    return 0;
  int fits = 1;
  int count = Scan<Char>(commandLine, n, out, outSize, &fits);
  if (count < n || !fits) {
    out[0] = '\0';
    return 0;
  }
  return 1;
}

} // namespace

int CountTokens(const char* commandLine) { return CountTokensOf(commandLine); }
int CountTokens(const wchar_t* commandLine) { return CountTokensOf(commandLine); }

int GetToken(const char* commandLine, int n, char* out, size_t outSize) {
  return GetTokenOf(commandLine, n, out, outSize);
}
int GetToken(const wchar_t* commandLine, int n, wchar_t* out, size_t outSize) {
  return GetTokenOf(commandLine, n, out, outSize);
}
