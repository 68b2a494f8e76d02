// Feeds libarchive one stretch of an open file, as if the stretch were the whole file.
#pragma once

#include "file_io.h"

#include <archive.h>

class StretchReader {
 public:
  StretchReader(InFile* file, unsigned long long offset, unsigned long long length)
      : file_(file), offset_(offset), length_(length) {}

  // Opens reader (formats already chosen) on the stretch; an ARCHIVE_ status.
  int Open(archive* reader);

 private:
  static la_ssize_t Read(archive*, void* self, const void** buffer);
  static la_int64_t Skip(archive*, void* self, la_int64_t request);
  static la_int64_t Seek(archive*, void* self, la_int64_t offset, int whence);

  InFile* file_;
  unsigned long long offset_;
  unsigned long long length_;
  unsigned long long position_ = 0; // within the stretch
  char buffer_[65536];
};
