#include "archive/archive_names.h"

#include <cstring>

#include "base/bounded_format.h"
#include "base/path_pieces.h"

namespace {

int Refuse(char* out, size_t outSize) {
  if (outSize > 0)
    out[0] = '\0';
  return 0;
}

} // namespace

int MakeArchivePath(const char* source, const char* archiveExt, int addExt, const char* outputDir,
                    int outputType, char* out, size_t outSize) {
  PathPieces pieces;
  if (!SplitPath(source, &pieces))
    return Refuse(out, outSize);
  // Base name, "_" and the extension without its dot: room for two whole pieces.
  char name[2 * kPathPieceSize];
  if (addExt == 1 && pieces.ext[0] != '\0')
    FormatBounded(name, sizeof name, "%s_%s", pieces.name, pieces.ext + 1);
  else
    FormatBounded(name, sizeof name, "%s", pieces.name);

  if (outputType == 0)
    return JoinPath(out, outSize, pieces.drive, pieces.dir, name, archiveExt);
  return FormatBounded(out, outSize, "%s\\%s.%s", outputDir, name, archiveExt);
}

int MakeTempArchivePath(const char* archivePath, const char* tempDir, char* out, size_t outSize) {
  PathPieces pieces;
  if (tempDir == nullptr || tempDir[0] == '\0' || !SplitPath(archivePath, &pieces))
    return Refuse(out, outSize);
  return FormatBounded(out, outSize, "%s\\%s%s", tempDir, pieces.name, pieces.ext);
}

int MakeExtractDirPath(const char* archivePath, const char* outputDir, int outputType, int makeDir,
                       char* out, size_t outSize) {
  PathPieces pieces;
  if (!SplitPath(archivePath, &pieces))
    return Refuse(out, outSize);
  // An output folder that already ends in a backslash still gets one.
  int ok = outputType == 0 ? FormatBounded(out, outSize, "%s%s", pieces.drive, pieces.dir)
                           : FormatBounded(out, outSize, "%s\\", outputDir);
  if (ok && makeDir == 1) {
    size_t used = strlen(out);
    if (!FormatBounded(out + used, outSize - used, "%s\\", pieces.name))
      return Refuse(out, outSize);
  }
  return ok;
}
