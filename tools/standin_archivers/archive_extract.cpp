#include "archive_extract.h"

#include "cp932_text.h"
#include "file_io.h"
#include "file_time.h"
#include "folder_maker.h"
#include "standin_result.h"
#include "stretch_reader.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>

namespace {

// Names without a stated character set are code page 932, as Japanese archivers write them.
void ChooseFormats(archive* reader, int kinds) {
  if (kinds & kArchiveLha) {
    archive_read_support_format_lha(reader);
    archive_read_set_format_option(reader, "lha", "hdrcharset", "CP932");
  }
  if (kinds & kArchiveZip) {
    archive_read_support_format_zip(reader);
    archive_read_set_format_option(reader, "zip", "hdrcharset", "CP932");
  }
  if (kinds & kArchiveSevenZip)
    archive_read_support_format_7zip(reader);
  if (kinds & kArchiveCab) {
    archive_read_support_format_cab(reader);
    archive_read_set_format_option(reader, "cab", "hdrcharset", "CP932");
  }
}

// The entry's name as a relative code page 932 path with '\\' between levels; false for
// names that are empty or would climb out of the destination.
bool SafeRelativeName(archive_entry* entry, std::string* name) {
  const wchar_t* wide = archive_entry_pathname_w(entry);
  if (!wide)
    return false;
  std::wstring clean;
  std::wstring level;
  for (const wchar_t* p = wide;; ++p) {
    if (*p == L'/' || *p == L'\\' || *p == 0) {
      if (level == L".." || level.find(L':') != std::wstring::npos)
        return false;
      if (!level.empty() && level != L".") {
        if (!clean.empty())
          clean += L'\\';
        clean += level;
      }
      level.clear();
      if (*p == 0)
        break;
    } else {
      level += *p;
    }
  }
  return !clean.empty() && WideToCp932(clean, name);
}

int WriteEntryData(archive* reader, archive_entry* entry, const std::string& path) {
  OutFile out;
  if (!out.Create(path))
    return kStandinWriteFailed;
  char buffer[65536];
  la_ssize_t got;
  while ((got = archive_read_data(reader, buffer, sizeof buffer)) > 0)
    if (!out.Write(buffer, static_cast<size_t>(got)))
      return kStandinWriteFailed;
  if (got < 0)
    return kStandinReadFailed;
  if (archive_entry_mtime_is_set(entry))
    out.SetTime(UnixToFileTime(archive_entry_mtime(entry)));
  return out.Finish() ? kStandinOk : kStandinWriteFailed;
}

int ExtractEntry(archive* reader, archive_entry* entry, const std::string& folder) {
  std::string name;
  if (!SafeRelativeName(entry, &name))
    return kStandinReadFailed;
  std::string path = folder + name;
  switch (archive_entry_filetype(entry)) {
  case AE_IFDIR:
    return MakeFolders(path) ? kStandinOk : kStandinWriteFailed;
  case AE_IFREG: {
    std::string parent = path.substr(0, path.size() - LastComponent(path).size());
    if (!MakeFolders(parent))
      return kStandinWriteFailed;
    return WriteEntryData(reader, entry, path);
  }
  default: // links and devices have no place on this side
    return kStandinOk;
  }
}

int ExtractAll(archive* reader, const std::string& folder) {
  archive_entry* entry = nullptr;
  int status;
  while ((status = archive_read_next_header(reader, &entry)) == ARCHIVE_OK ||
         status == ARCHIVE_WARN) {
    int result = ExtractEntry(reader, entry, folder);
    if (result != kStandinOk)
      return result;
  }
  return status == ARCHIVE_EOF ? kStandinOk : kStandinReadFailed;
}

int ReadMembers(archive* reader, std::vector<Member>* members) {
  archive_entry* entry = nullptr;
  int status;
  while ((status = archive_read_next_header(reader, &entry)) == ARCHIVE_OK ||
         status == ARCHIVE_WARN) {
    const int type = archive_entry_filetype(entry);
    if (type != AE_IFDIR && type != AE_IFREG)
      continue;
    Member member;
    if (!SafeRelativeName(entry, &member.name))
      return kStandinReadFailed;
    member.folder = type == AE_IFDIR;
    std::shared_ptr<std::string> bytes = std::make_shared<std::string>();
    char buffer[65536];
    la_ssize_t got = 0;
    while (!member.folder && (got = archive_read_data(reader, buffer, sizeof buffer)) > 0)
      bytes->append(buffer, static_cast<size_t>(got));
    if (got < 0)
      return kStandinReadFailed;
    member.size = bytes->size();
    member.held = bytes;
    member.attributes = member.folder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    member.written =
        UnixToFileTime(archive_entry_mtime_is_set(entry) ? archive_entry_mtime(entry) : 0);
    members->push_back(member);
  }
  return status == ARCHIVE_EOF ? kStandinOk : kStandinReadFailed;
}

// Opens the stretch of file as an archive of the given kinds and hands the reader to use.
template <typename Use>
int WithArchiveReader(InFile* file, unsigned long long offset, unsigned long long length, int kinds,
                      Use use) {
  // The reader keeps a 64 KiB buffer: too large for the caller's stack.
  std::unique_ptr<StretchReader> source(new (std::nothrow) StretchReader(file, offset, length));
  archive* reader = archive_read_new();
  if (!source || !reader) {
    if (reader)
      archive_read_free(reader);
    return kStandinReadFailed;
  }
  ChooseFormats(reader, kinds);
  const int result = source->Open(reader) == ARCHIVE_OK ? use(reader) : kStandinReadFailed;
  archive_read_free(reader);
  return result;
}

} // namespace

int ReadArchiveMembers(const std::string& path, int kinds, std::vector<Member>* members) {
  InFile file;
  unsigned long long size = 0;
  if (!file.Open(path) || !file.Size(&size))
    return kStandinReadFailed;
  return WithArchiveReader(&file, 0, size, kinds,
                           [members](archive* reader) { return ReadMembers(reader, members); });
}

int ExtractArchiveFile(const std::string& path, int kinds, const std::string& folder) {
  InFile file;
  unsigned long long size = 0;
  if (!file.Open(path) || !file.Size(&size))
    return kStandinReadFailed;
  return ExtractArchive({path, 0, size}, kinds, folder);
}

int ExtractArchive(const ArchiveStretch& stretch, int kinds, const std::string& folder) {
  if (!EndsWithBackslashChar(folder) || !MakeFolders(folder))
    return kStandinWriteFailed;
  InFile file;
  if (!file.Open(stretch.path))
    return kStandinReadFailed;
  return WithArchiveReader(&file, stretch.offset, stretch.length, kinds,
                           [&folder](archive* reader) { return ExtractAll(reader, folder); });
}
