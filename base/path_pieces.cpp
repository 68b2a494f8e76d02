#include "base/path_pieces.h"

#include "base/cp932.h"

#include <cstring>

namespace {

int IsSeparator(char c) { return c == '\\' || c == '/'; }

int CopyPiece(char* piece, const char* from, size_t length) {
  if (length >= kPathPieceSize)
    return 0;
  memcpy(piece, from, length);
  piece[length] = '\0';
  return 1;
}

// Pointer to the last whole character of text, or null for an empty text.
const char* LastChar(const char* text) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p += Cp932CharLength(p))
    last = p;
  return last;
}

int Append(char* out, size_t outSize, size_t* used, const char* text, size_t length) {
  if (length >= outSize - *used)
    return 0;
  memcpy(out + *used, text, length);
  *used += length;
  out[*used] = '\0';
  return 1;
}

} // namespace

int SplitPath(const char* path, PathPieces* pieces) {
  pieces->drive[0] = pieces->dir[0] = pieces->name[0] = pieces->ext[0] = '\0';
  const char* rest = path;
  if (path[0] != '\0' && !IsCp932LeadByte(static_cast<unsigned char>(path[0])) && path[1] == ':') {
    if (!CopyPiece(pieces->drive, path, 2))
      return 0;
    rest = path + 2;
  }

  const char* last = rest; // start of the last component
  const char* dot = nullptr;
  for (const char* p = rest; *p != '\0'; p += Cp932CharLength(p)) {
    if (IsSeparator(*p)) {
      last = p + 1;
      dot = nullptr;
    } else if (*p == '.') {
      dot = p;
    }
  }
  const char* end = last + strlen(last);
  if (dot == nullptr)
    dot = end;
  return CopyPiece(pieces->dir, rest, last - rest) && CopyPiece(pieces->name, last, dot - last) &&
         CopyPiece(pieces->ext, dot, end - dot);
}

int JoinPath(char* out, size_t outSize, const char* drive, const char* dir, const char* name,
             const char* ext) {
  if (outSize == 0)
    return 0;
  out[0] = '\0';
  size_t used = 0;
  int ok = 1;
  if (drive != nullptr)
    ok = ok && Append(out, outSize, &used, drive, strlen(drive));
  if (dir != nullptr && dir[0] != '\0') {
    ok = ok && Append(out, outSize, &used, dir, strlen(dir));
    if (!IsSeparator(*LastChar(dir)))
      ok = ok && Append(out, outSize, &used, "\\", 1);
  }
  if (name != nullptr)
    ok = ok && Append(out, outSize, &used, name, strlen(name));
  if (ext != nullptr && ext[0] != '\0') {
    if (ext[0] != '.')
      ok = ok && Append(out, outSize, &used, ".", 1);
    ok = ok && Append(out, outSize, &used, ext, strlen(ext));
  }
  if (!ok)
    out[0] = '\0';
  return ok;
}

int EndsWithBackslash(const char* text) {
  const char* last = LastChar(text);
  return last != nullptr && *last == '\\';
}
