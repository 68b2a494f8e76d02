#include "file_io.h"

namespace {

bool MoveTo(HANDLE handle, unsigned long long position) {
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(position);
  return SetFilePointerEx(handle, distance, nullptr, FILE_BEGIN) != 0;
}

bool WriteAll(HANDLE handle, const void* data, size_t size) {
  const char* bytes = static_cast<const char*>(data);
  while (size > 0) {
    DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(handle, bytes, chunk, &written, nullptr) || written != chunk)
      return false;
    bytes += chunk;
    size -= chunk;
  }
  return true;
}

} // namespace

InFile::~InFile() {
  if (handle_ != INVALID_HANDLE_VALUE)
    CloseHandle(handle_);
}

bool InFile::Open(const std::string& path) {
  handle_ = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_ != INVALID_HANDLE_VALUE;
}

bool InFile::Read(void* data, size_t size, size_t* got) {
  DWORD chunk = size > 0x10000000 ? 0x10000000 : static_cast<DWORD>(size);
  DWORD read = 0;
  bool ok = ReadFile(handle_, data, chunk, &read, nullptr) != 0;
  *got = ok ? read : 0;
  return ok;
}

bool InFile::Seek(unsigned long long position) { return MoveTo(handle_, position); }

bool InFile::Size(unsigned long long* size) const {
  LARGE_INTEGER value;
  if (!GetFileSizeEx(handle_, &value))
    return false;
  *size = static_cast<unsigned long long>(value.QuadPart);
  return true;
}

OutFile::~OutFile() { Abandon(); }

bool OutFile::Create(const std::string& path) {
  path_ = path;
  handle_ = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                        FILE_ATTRIBUTE_NORMAL, nullptr);
  return handle_ != INVALID_HANDLE_VALUE;
}

bool OutFile::CreateNew(const std::string& path) {
  path_ = path;
  handle_ = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                        nullptr);
  return handle_ != INVALID_HANDLE_VALUE;
}

bool OutFile::Write(const void* data, size_t size) {
  if (failed_ || !WriteAll(handle_, data, size))
    failed_ = true;
  else
    position_ += size;
  return !failed_;
}

bool OutFile::WriteAt(unsigned long long position, const void* data, size_t size) {
  if (failed_ || !MoveTo(handle_, position) || !WriteAll(handle_, data, size) ||
      !MoveTo(handle_, position_))
    failed_ = true;
  return !failed_;
}

bool OutFile::SetTime(const FILETIME& written) {
  if (failed_ || !SetFileTime(handle_, nullptr, nullptr, &written))
    failed_ = true;
  return !failed_;
}

bool OutFile::Finish() {
  if (handle_ == INVALID_HANDLE_VALUE)
    return false;
  bool closed = CloseHandle(handle_) != 0;
  handle_ = INVALID_HANDLE_VALUE;
  if (failed_ || !closed) {
    DeleteFileA(path_.c_str());
    return false;
  }
  return true;
}

void OutFile::Abandon() {
  if (handle_ == INVALID_HANDLE_VALUE)
    return;
  CloseHandle(handle_);
  handle_ = INVALID_HANDLE_VALUE;
  DeleteFileA(path_.c_str());
}
