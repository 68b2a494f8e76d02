#include "archive/archive_commands.h"

#include "base/bounded_format.h"
#include "base/path_pieces.h"

namespace {

const char kQuote = '"';

int Refuse(char* out, size_t outSize) {
  if (outSize > 0)
    out[0] = '\0';
  return 0;
}

} // namespace

int FormatLhaCreate(char* out, size_t outSize, const char* archive, const char* source,
                    int isFolder) {
  const char q = kQuote;
  if (!isFolder)
    return FormatBounded(out, outSize, "a %c%s%c %c%s%c", q, archive, q, q, source, q);
  PathPieces s;
  if (!SplitPath(source, &s))
    return Refuse(out, outSize);
  return FormatBounded(out, outSize, "a %c%s%c %c%s%s%c %c%s%s%c -d", q, archive, q, q, s.drive,
                       s.dir, q, q, s.name, s.ext, q);
}

int FormatSevenZipCreate(char* out, size_t outSize, const char* archive, const char* source,
                         const char* typeName, int isFolder) {
  const char q = kQuote;
  PathPieces s;
  if (!SplitPath(source, &s))
    return Refuse(out, outSize);
  if (!isFolder)
    return FormatBounded(out, outSize, "a -t%s %c%s%c %c%s%s%c %c%s%s%c", typeName, q, archive, q,
                         q, s.drive, s.dir, q, q, s.name, s.ext, q);
  return FormatBounded(out, outSize, "a -t%s %c%s%c %c%s%s%c %c-ir!%s%s\\*%c", typeName, q, archive,
                       q, q, s.drive, s.dir, q, q, s.name, s.ext, q);
}

int FormatCabCreate(char* out, size_t outSize, const char* archive, const char* source,
                    int isFolder) {
  const char q = kQuote;
  PathPieces s;
  if (!SplitPath(source, &s))
    return Refuse(out, outSize);
  if (!isFolder)
    return FormatBounded(out, outSize, "-a %c%s%c %c%s%s%c %c%s%s%c", q, archive, q, q, s.drive,
                         s.dir, q, q, s.name, s.ext, q);
  return FormatBounded(out, outSize, "-a -r %c%s%c %c%s%s%c %c%s%s\\*.*%c", q, archive, q, q,
                       s.drive, s.dir, q, q, s.name, s.ext, q);
}

int FormatLhaSfxStep(char* out, size_t outSize, const char* temp, const char* archive) {
  const char q = kQuote;
  PathPieces a;
  if (!SplitPath(archive, &a))
    return Refuse(out, outSize);
  return FormatBounded(out, outSize, "s -gw -x %c%s%c %c%s%s%c", q, temp, q, q, a.drive, a.dir, q);
}

int FormatCabSfxStep(char* out, size_t outSize, const char* temp, const char* archive) {
  const char q = kQuote;
  PathPieces a;
  if (!SplitPath(archive, &a))
    return Refuse(out, outSize);
  return FormatBounded(out, outSize, "-f %c%s%c %c%s%s%c", q, temp, q, q, a.drive, a.dir, q);
}

int FormatLhaExtract(char* out, size_t outSize, const char* archive, const char* dest) {
  const char q = kQuote;
  return FormatBounded(out, outSize, "x %c%s%c %c%s%c", q, archive, q, q, dest, q);
}

int FormatSevenZipExtract(char* out, size_t outSize, const char* archive, const char* dest) {
  const char q = kQuote;
  return FormatBounded(out, outSize, "x %c%s%c %c-o%s%c *.*", q, archive, q, q, dest, q);
}

int FormatCabExtract(char* out, size_t outSize, const char* archive, const char* dest) {
  const char q = kQuote;
  return FormatBounded(out, outSize, "-x %c%s%c %c%s%c *.*", q, archive, q, q, dest, q);
}
