#include "stretch_reader.h"

#include <cerrno>
#include <cstdio>

int StretchReader::Open(archive* reader) {
  if (!file_->Seek(offset_))
    return ARCHIVE_FATAL;
  archive_read_set_callback_data(reader, this);
  archive_read_set_read_callback(reader, Read);
  archive_read_set_skip_callback(reader, Skip);
  archive_read_set_seek_callback(reader, Seek);
  return archive_read_open1(reader);
}

la_ssize_t StretchReader::Read(archive* reader, void* self, const void** buffer) {
  StretchReader* stretch = static_cast<StretchReader*>(self);
  unsigned long long left = stretch->length_ - stretch->position_;
  size_t want =
      left < sizeof stretch->buffer_ ? static_cast<size_t>(left) : sizeof stretch->buffer_;
  size_t got = 0;
  if (want > 0 && !stretch->file_->Read(stretch->buffer_, want, &got)) {
    archive_set_error(reader, EIO, "read failed");
    return -1;
  }
  stretch->position_ += got;
  *buffer = stretch->buffer_;
  return static_cast<la_ssize_t>(got);
}

la_int64_t StretchReader::Skip(archive* reader, void* self, la_int64_t request) {
  StretchReader* stretch = static_cast<StretchReader*>(self);
  unsigned long long left = stretch->length_ - stretch->position_;
  unsigned long long step = static_cast<unsigned long long>(request) < left
                                ? static_cast<unsigned long long>(request)
                                : left;
  if (request <= 0 || step == 0)
    return 0;
  if (!stretch->file_->Seek(stretch->offset_ + stretch->position_ + step)) {
    archive_set_error(reader, EIO, "seek failed");
    return ARCHIVE_FATAL;
  }
  stretch->position_ += step;
  return static_cast<la_int64_t>(step);
}

la_int64_t StretchReader::Seek(archive* reader, void* self, la_int64_t offset, int whence) {
  StretchReader* stretch = static_cast<StretchReader*>(self);
  long long base = whence == SEEK_SET   ? 0
                   : whence == SEEK_CUR ? static_cast<long long>(stretch->position_)
                                        : static_cast<long long>(stretch->length_);
  long long target = base + offset;
  if (target < 0 || static_cast<unsigned long long>(target) > stretch->length_ ||
      !stretch->file_->Seek(stretch->offset_ + static_cast<unsigned long long>(target))) {
    archive_set_error(reader, EINVAL, "seek outside the archive");
    return ARCHIVE_FATAL;
  }
  stretch->position_ = static_cast<unsigned long long>(target);
  return target;
}
