#include "sfx_writer.h"

#include "byte_sink.h"
#include "cp932_text.h"
#include "file_io.h"
#include "sfx_trailer.h"
#include "standin_result.h"

#include <windows.h>

#include <cstring>

namespace {

const int kStubResource = 1; // RCDATA holding the extractor program

// The extractor program carried in the library this code is linked into.
bool FindStub(const void** bytes, DWORD* size) {
  HMODULE self = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCSTR>(&FindStub), &self))
    return false;
  HRSRC found = FindResourceA(self, MAKEINTRESOURCEA(kStubResource), MAKEINTRESOURCEA(10));
  HGLOBAL loaded = found ? LoadResource(self, found) : nullptr;
  *bytes = loaded ? LockResource(loaded) : nullptr;
  *size = found ? SizeofResource(self, found) : 0;
  return *bytes && *size > 0;
}

bool IsKind(const char* head, size_t got, SfxArchive kind) {
  if (kind == SfxArchive::kCab)
    return got >= 4 && memcmp(head, "MSCF", 4) == 0;
  return got >= 7 && memcmp(head + 2, "-lh", 3) == 0 && head[6] == '-';
}

} // namespace

int WriteSelfExtractor(const std::string& archivePath, SfxArchive kind, const std::string& folder) {
  InFile in;
  if (!in.Open(archivePath))
    return kStandinReadFailed;
  char buffer[65536];
  size_t got = 0;
  if (!in.Read(buffer, sizeof buffer, &got) || !IsKind(buffer, got, kind))
    return kStandinReadFailed;
  const void* stub = nullptr;
  DWORD stubSize = 0;
  if (!FindStub(&stub, &stubSize))
    return kStandinWriteFailed;

  // A careful archiver never replaces a file in this step.
  const std::string program = folder + WithoutExtension(LastComponent(archivePath)) + ".exe";
  OutFile out;
  if (!out.CreateNew(program))
    return GetFileAttributesA(program.c_str()) != INVALID_FILE_ATTRIBUTES ? kStandinTargetExists
                                                                          : kStandinWriteFailed;
  if (!out.Write(stub, stubSize))
    return kStandinWriteFailed;
  do {
    if (!out.Write(buffer, got))
      return kStandinWriteFailed;
  } while (in.Read(buffer, sizeof buffer, &got) && got > 0);
  std::string trailer;
  Put32(&trailer, stubSize);
  trailer.append(kSfxMagic, sizeof kSfxMagic);
  return out.Write(trailer.data(), trailer.size()) && out.Finish() ? kStandinOk
                                                                   : kStandinWriteFailed;
}
