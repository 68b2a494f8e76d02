#include "archive/archive_formats.h"

namespace {

const ArchiveFormat kFormats[] = {
    {"lzh", nullptr, kArchiverLha, 0},    {"lzh", nullptr, kArchiverLha, 1},
    {"zip", "zip", kArchiverSevenZip, 0}, {"7z", "7z", kArchiverSevenZip, 0},
    {"cab", nullptr, kArchiverCab, 0},    {"cab", nullptr, kArchiverCab, 1},
};

} // namespace

const ArchiveFormat* FindArchiveFormat(int archiveType) {
  if (archiveType < 0 || archiveType >= static_cast<int>(sizeof kFormats / sizeof kFormats[0]))
    return nullptr;
  return &kFormats[archiveType];
}
