#include "libarchive_writer.h"

#include "cp932_text.h"
#include "file_io.h"
#include "file_time.h"
#include "standin_result.h"

#include <archive.h>
#include <archive_entry.h>

namespace {

// libarchive wants '/' between levels and after a folder's name.
bool EntryName(const Member& member, std::wstring* name) {
  if (!Cp932ToWide(member.name, name))
    return false;
  for (wchar_t& c : *name)
    if (c == L'\\')
      c = L'/';
  if (member.folder)
    *name += L'/';
  return true;
}

int WriteMember(archive* out, const Member& member) {
  std::wstring name;
  if (!EntryName(member, &name))
    return kStandinReadFailed;
  MemberData in;
  if (!member.folder && !in.Open(member))
    return kStandinReadFailed;
  archive_entry* entry = archive_entry_new();
  if (!entry)
    return kStandinWriteFailed;
  archive_entry_copy_pathname_w(entry, name.c_str());
  archive_entry_set_filetype(entry, member.folder ? AE_IFDIR : AE_IFREG);
  archive_entry_set_perm(entry, member.folder ? 0755 : 0644);
  archive_entry_set_size(entry, static_cast<la_int64_t>(member.size));
  archive_entry_set_mtime(entry, FileTimeToUnix(member.written), 0);
  int result = archive_write_header(out, entry) == ARCHIVE_OK ? kStandinOk : kStandinWriteFailed;
  archive_entry_free(entry);
  if (result != kStandinOk || member.folder)
    return result;
  char buffer[65536];
  size_t got = 0;
  unsigned long long copied = 0;
  while (in.Read(buffer, sizeof buffer, &got) && got > 0) {
    copied += got;
    if (archive_write_data(out, buffer, got) != static_cast<la_ssize_t>(got))
      return kStandinWriteFailed;
  }
  return copied == member.size ? kStandinOk : kStandinReadFailed;
}

bool SetFormat(archive* out, LibarchiveFormat format) {
  if (format == LibarchiveFormat::kSevenZip)
    return archive_write_set_format_7zip(out) == ARCHIVE_OK;
  // UTF-8 names with their flag set read the same everywhere.
  return archive_write_set_format_zip(out) == ARCHIVE_OK &&
         archive_write_set_format_option(out, "zip", "hdrcharset", "UTF-8") == ARCHIVE_OK;
}

} // namespace

int WriteLibarchiveArchive(const std::string& path, LibarchiveFormat format,
                           const std::vector<Member>& members) {
  std::wstring widePath;
  if (!Cp932ToWide(path, &widePath))
    return kStandinWriteFailed;
  archive* out = archive_write_new();
  if (!out)
    return kStandinWriteFailed;
  int result = kStandinWriteFailed;
  bool opened =
      SetFormat(out, format) && archive_write_open_filename_w(out, widePath.c_str()) == ARCHIVE_OK;
  if (opened) {
    result = kStandinOk;
    for (const Member& member : members)
      if (result == kStandinOk)
        result = WriteMember(out, member);
    if (archive_write_close(out) != ARCHIVE_OK && result == kStandinOk)
      result = kStandinWriteFailed;
  }
  archive_write_free(out);
  if (opened && result != kStandinOk)
    DeleteFileA(path.c_str());
  return result;
}
