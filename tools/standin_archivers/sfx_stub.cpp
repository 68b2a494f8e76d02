// The extractor at the front of our self-extracting programs: unpacks the archive
// appended to its own file into its own folder, silently. Exit status 0 when all went well.
#include "archive_extract.h"
#include "cp932_text.h"
#include "file_io.h"
#include "sfx_trailer.h"
#include "standin_result.h"

#include <windows.h>

#include <cstring>

namespace {

// The appended archive, found through the trailer at the file's end.
bool FindArchive(const std::string& self, ArchiveStretch* stretch) {
  InFile file;
  unsigned long long size = 0;
  unsigned char trailer[kSfxTrailerSize];
  size_t got = 0;
  if (!file.Open(self) || !file.Size(&size) || size < kSfxTrailerSize ||
      !file.Seek(size - kSfxTrailerSize) || !file.Read(trailer, sizeof trailer, &got) ||
      got != sizeof trailer || memcmp(trailer + 4, kSfxMagic, sizeof kSfxMagic) != 0)
    return false;
  unsigned long long offset = trailer[0] | (trailer[1] << 8) | (trailer[2] << 16) |
                              (static_cast<unsigned long long>(trailer[3]) << 24);
  if (offset > size - kSfxTrailerSize)
    return false;
  *stretch = {self, offset, size - kSfxTrailerSize - offset};
  return true;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  char path[MAX_PATH];
  DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  if (length == 0 || length >= sizeof path)
    return 1;
  std::string self(path, length);
  ArchiveStretch stretch;
  if (!FindArchive(self, &stretch))
    return 1;
  std::string folder = self.substr(0, self.size() - LastComponent(self).size());
  return ExtractArchive(stretch, kArchiveLha | kArchiveCab, folder) == kStandinOk ? 0 : 1;
}
