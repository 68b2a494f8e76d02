#include "archive/creation_plan.h"

#include "archive/archive_commands.h"
#include "archive/archive_formats.h"
#include "archive/archive_names.h"

namespace {

int Create(const ArchiveFormat &format, char *out, const char *archive, const char *source,
           int isFolder) {
  switch (format.archiver) {
  case kArchiverLha:
    return FormatLhaCreate(out, kArchiveTextSize, archive, source, isFolder);
  case kArchiverSevenZip:
    return FormatSevenZipCreate(out, kArchiveTextSize, archive, source, format.typeName, isFolder);
  default:
    return FormatCabCreate(out, kArchiveTextSize, archive, source, isFolder);
  }
}

} // namespace

int PlanCreation(const char *source, int isFolder, int archiveType, int addExt, int outputType,
                 const char *outputDir, const char *tempDir, CreationPlan *plan) {
  plan->archivePath[0] = plan->tempPath[0] = '\0';
  plan->firstCommand[0] = plan->secondCommand[0] = '\0';
  const ArchiveFormat *format = FindArchiveFormat(archiveType);
  if (format == nullptr)
    return 0;
  plan->archiver = format->archiver;
  if (!MakeArchivePath(source, format->extension, addExt, outputDir, outputType, plan->archivePath,
                       kArchiveTextSize))
    return 0;
  if (!format->selfExtracting)
    return Create(*format, plan->firstCommand, plan->archivePath, source, isFolder);

  if (!MakeTempArchivePath(plan->archivePath, tempDir, plan->tempPath, kArchiveTextSize) ||
      !Create(*format, plan->firstCommand, plan->tempPath, source, isFolder))
    return 0;
  if (format->archiver == kArchiverLha)
    return FormatLhaSfxStep(plan->secondCommand, kArchiveTextSize, plan->tempPath,
                            plan->archivePath);
  return FormatCabSfxStep(plan->secondCommand, kArchiveTextSize, plan->tempPath, plan->archivePath);
}
