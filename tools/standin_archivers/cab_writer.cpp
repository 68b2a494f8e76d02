#include "cab_writer.h"

#include "byte_sink.h"
#include "file_io.h"
#include "file_time.h"
#include "standin_result.h"

#include <cstdint>
#include <cstring>

namespace {

const size_t kHeaderSize = 36;
const size_t kFolderSize = 8;
const size_t kFileFixedSize = 16;
const size_t kDataHeaderSize = 8;
const size_t kBlockSize = 32768;
const unsigned long long kMaxFolderSize = 0x7FFF8000; // the format's limit for one folder

std::string Headers(const std::vector<const Member*>& files, unsigned long long total,
                    size_t blocks) {
  size_t filesSize = 0;
  for (const Member* file : files)
    filesSize += kFileFixedSize + file->name.size() + 1;
  size_t dataStart = kHeaderSize + kFolderSize + filesSize;

  std::string out = "MSCF";
  Put32(&out, 0);
  Put32(&out, static_cast<uint32_t>(dataStart + blocks * kDataHeaderSize + total));
  Put32(&out, 0);
  Put32(&out, static_cast<uint32_t>(kHeaderSize + kFolderSize)); // first file entry
  Put32(&out, 0);
  PutByte(&out, 3); // format version 1.3
  PutByte(&out, 1);
  Put16(&out, 1); // folders
  Put16(&out, static_cast<unsigned>(files.size()));
  Put16(&out, 0); // flags: no reserve, no neighbouring cabinets
  Put16(&out, 0); // set id
  Put16(&out, 0); // number in the set

  Put32(&out, static_cast<uint32_t>(dataStart));
  Put16(&out, static_cast<unsigned>(blocks));
  Put16(&out, 0); // no compression

  uint32_t offset = 0;
  for (const Member* file : files) {
    uint16_t date = 0, clock = 0;
    FileTimeToDos(file->written, &date, &clock);
    Put32(&out, static_cast<uint32_t>(file->size));
    Put32(&out, offset);
    Put16(&out, 0); // its folder
    Put16(&out, date);
    Put16(&out, clock);
    Put16(&out, file->attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE));
    out += file->name; // code page 932, so the name-is-UTF-8 attribute stays clear
    PutByte(&out, 0);
    offset += static_cast<uint32_t>(file->size);
  }
  return out;
}

// Data blocks of at most kBlockSize bytes, filled across file boundaries.
class BlockWriter {
 public:
  explicit BlockWriter(OutFile* out) : out_(out) {}

  bool Add(const char* data, size_t size) {
    while (size > 0) {
      size_t take = kBlockSize - filled_;
      if (take > size)
        take = size;
      memcpy(block_ + filled_, data, take);
      filled_ += take;
      data += take;
      size -= take;
      if (filled_ == kBlockSize && !Flush())
        return false;
    }
    return true;
  }

  bool Flush() {
    if (filled_ == 0)
      return true;
    std::string header;
    Put32(&header, 0); // no checksum: the format allows leaving it out
    Put16(&header, static_cast<unsigned>(filled_));
    Put16(&header, static_cast<unsigned>(filled_));
    bool ok = out_->Write(header.data(), header.size()) && out_->Write(block_, filled_);
    filled_ = 0;
    return ok;
  }

 private:
  OutFile* out_;
  char block_[kBlockSize];
  size_t filled_ = 0;
};

int CopyMember(const Member& file, BlockWriter* blocks) {
  MemberData in;
  if (!in.Open(file))
    return kStandinReadFailed;
  char buffer[65536];
  size_t got = 0;
  unsigned long long copied = 0;
  while (in.Read(buffer, sizeof buffer, &got) && got > 0) {
    copied += got;
    if (copied > file.size)
      return kStandinReadFailed;
    if (!blocks->Add(buffer, got))
      return kStandinWriteFailed;
  }
  // The headers already promise this size.
  return copied == file.size ? kStandinOk : kStandinReadFailed;
}

} // namespace

int WriteCabArchive(const std::string& path, const std::vector<Member>& members) {
  std::vector<const Member*> files;
  unsigned long long total = 0;
  for (const Member& member : members) {
    if (member.folder)
      continue;
    files.push_back(&member);
    total += member.size;
    if (total > kMaxFolderSize)
      return kStandinTooLarge;
  }
  if (files.empty())
    return kStandinSourceMissing; // a cabinet cannot hold folders alone
  if (files.size() > 0xFFFF)
    return kStandinTooLarge;
  size_t blocks = static_cast<size_t>((total + kBlockSize - 1) / kBlockSize);

  OutFile out;
  if (!out.Create(path))
    return kStandinWriteFailed;
  std::string headers = Headers(files, total, blocks);
  if (!out.Write(headers.data(), headers.size()))
    return kStandinWriteFailed;
  BlockWriter writer(&out);
  for (const Member* file : files) {
    int result = CopyMember(*file, &writer);
    if (result != kStandinOk)
      return result; // out removes the unfinished cabinet
  }
  return writer.Flush() && out.Finish() ? kStandinOk : kStandinWriteFailed;
}
