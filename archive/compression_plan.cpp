#include "archive/compression_plan.h"

#include "archive/archive_commands.h"
#include "archive/archive_names.h"
#include "base/path_pieces.h"

#include <memory>

namespace {

int Fail(CompressionPlan* plan) {
  plan->archive[0] = plan->tempArchive[0] = plan->first[0] = plan->second[0] = '\0';
  plan->selfExtractor[0] = '\0';
  return 0;
}

// The second command writes into the archive's folder a program named after the archive.
int NameSelfExtractor(const char* archive, char* out, size_t outSize) {
  std::unique_ptr<PathPieces> pieces(new PathPieces);
  return SplitPath(archive, pieces.get()) &&
         JoinPath(out, outSize, pieces->drive, pieces->dir, pieces->name, ".exe");
}

} // namespace

int MakeCompressionPlan(const char* source, int isFolder, const ArchiveFormat& format, int addExt,
                        const char* outputDir, int outputType, const char* tempDir,
                        CompressionPlan* plan) {
  Fail(plan);
  plan->archiver = format.archiver;
  if (!MakeArchivePath(source, format.extension, addExt, outputDir, outputType, plan->archive,
                       sizeof plan->archive))
    return Fail(plan);
  const char* made = plan->archive;
  if (format.selfExtracting) {
    if (!MakeTempArchivePath(plan->archive, tempDir, plan->tempArchive, sizeof plan->tempArchive) ||
        !NameSelfExtractor(plan->archive, plan->selfExtractor, sizeof plan->selfExtractor))
      return Fail(plan);
    made = plan->tempArchive;
  }

  int ok = 0;
  switch (format.archiver) {
  case kArchiverLha:
    ok = FormatLhaCreate(plan->first, sizeof plan->first, made, source, isFolder) &&
         (!format.selfExtracting ||
          FormatLhaSfxStep(plan->second, sizeof plan->second, plan->tempArchive, plan->archive));
    break;
  case kArchiverSevenZip:
    // 7-Zip makes no self-extracting file of its own here.
    ok = !format.selfExtracting && FormatSevenZipCreate(plan->first, sizeof plan->first, made,
                                                        source, format.typeName, isFolder);
    break;
  case kArchiverCab:
    ok = FormatCabCreate(plan->first, sizeof plan->first, made, source, isFolder) &&
         (!format.selfExtracting ||
          FormatCabSfxStep(plan->second, sizeof plan->second, plan->tempArchive, plan->archive));
    break;
  default:
    break;
  }
  return ok ? 1 : Fail(plan);
}
