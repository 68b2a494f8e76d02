#include "lha_writer.h"

#include "byte_sink.h"
#include "cp932_text.h"
#include "crc16.h"
#include "file_io.h"
#include "file_time.h"
#include "standin_result.h"

#include <cstdint>

namespace {

const size_t kDataCrcOffset = 21;
const unsigned char kPathSeparator = 0xFF; // between levels in the directory field
const unsigned kCodePage = 932;

enum ExtendedType {
  kExtCommon = 0x00, // holds the header's own CRC
  kExtFileName = 0x01,
  kExtDirName = 0x02,
  kExtDosAttributes = 0x40,
  kExtCodePage = 0x46,
};

void PutExtended(std::string* header, unsigned type, const std::string& data) {
  // The size field before each extended header counts its type, data and next size.
  Set16(header, header->size() - 2, static_cast<unsigned>(data.size() + 3));
  PutByte(header, type);
  header->append(data);
  Put16(header, 0);
}

// The header of member, with the data CRC given; its header CRC filled in last.
std::string BuildHeader(const Member& member, uint16_t dataCrc) {
  std::vector<std::string> levels = SplitAtBackslashes(member.name);
  std::string fileName = member.folder ? std::string() : levels.back();
  if (!member.folder)
    levels.pop_back();
  std::string dirName;
  for (const std::string& level : levels) {
    dirName += level;
    dirName += static_cast<char>(kPathSeparator);
  }

  std::string header;
  Put16(&header, 0); // total size, known at the end
  header += member.folder ? "-lhd-" : "-lh0-";
  Put32(&header, static_cast<uint32_t>(member.size)); // stored: packed equals original
  Put32(&header, static_cast<uint32_t>(member.size));
  Put32(&header, static_cast<uint32_t>(FileTimeToUnix(member.written)));
  PutByte(&header, 0x20);
  PutByte(&header, 2); // header level
  Put16(&header, dataCrc);
  PutByte(&header, 'M');
  Put16(&header, 0); // size of the first extended header
  size_t crcOffset = header.size() + 1;
  PutExtended(&header, kExtCommon, std::string(2, '\0'));
  if (!fileName.empty())
    PutExtended(&header, kExtFileName, fileName);
  if (!dirName.empty())
    PutExtended(&header, kExtDirName, dirName);
  std::string attributes;
  Put16(&attributes, member.attributes &
                         (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                          FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_ARCHIVE));
  PutExtended(&header, kExtDosAttributes, attributes);
  std::string codePage;
  Put32(&codePage, kCodePage);
  PutExtended(&header, kExtCodePage, codePage);
  // A header may not start with a zero byte, which would read as the archive's end.
  if ((header.size() & 0xFF) == 0)
    PutByte(&header, 0);
  Set16(&header, 0, static_cast<unsigned>(header.size()));
  Set16(&header, crcOffset, UpdateCrc16(0, header.data(), header.size()));
  return header;
}

int WriteMember(OutFile* out, const Member& member) {
  if (member.folder) {
    std::string header = BuildHeader(member, 0);
    return out->Write(header.data(), header.size()) ? kStandinOk : kStandinWriteFailed;
  }
  MemberData in;
  if (!in.Open(member))
    return kStandinReadFailed;
  unsigned long long headerAt = out->Position();
  std::string header = BuildHeader(member, 0);
  if (!out->Write(header.data(), header.size()))
    return kStandinWriteFailed;
  uint16_t crc = 0;
  unsigned long long copied = 0;
  char buffer[65536];
  size_t got = 0;
  while (in.Read(buffer, sizeof buffer, &got) && got > 0) {
    crc = UpdateCrc16(crc, buffer, got);
    copied += got;
    if (!out->Write(buffer, got))
      return kStandinWriteFailed;
  }
  if (copied != member.size)
    return kStandinReadFailed; // changed while we read it, or unreadable
  header = BuildHeader(member, crc);
  return out->WriteAt(headerAt, header.data(), header.size()) ? kStandinOk : kStandinWriteFailed;
}

} // namespace

int WriteLhaArchive(const std::string& path, const std::vector<Member>& members) {
  for (const Member& member : members)
    if (member.size > 0xFFFFFFFFu)
      return kStandinTooLarge;
  OutFile out;
  if (!out.Create(path))
    return kStandinWriteFailed;
  for (const Member& member : members) {
    int result = WriteMember(&out, member);
    if (result != kStandinOk)
      return result; // out removes the unfinished archive
  }
  const char end = 0; // a zero header size closes the archive
  return out.Write(&end, 1) && out.Finish() ? kStandinOk : kStandinWriteFailed;
}
