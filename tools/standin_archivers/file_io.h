// Thin owners of Win32 file handles, opened by code page 932 names.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

class InFile {
 public:
  InFile() = default;
  InFile(const InFile&) = delete;
  InFile& operator=(const InFile&) = delete;
  ~InFile();

  bool Open(const std::string& path);
  // Reads up to size bytes; *got is 0 at the end of the file.
  bool Read(void* data, size_t size, size_t* got);
  bool Seek(unsigned long long position);
  bool Size(unsigned long long* size) const;

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// A new file that stays only when Finish succeeds; otherwise it is deleted.
class OutFile {
 public:
  OutFile() = default;
  OutFile(const OutFile&) = delete;
  OutFile& operator=(const OutFile&) = delete;
  ~OutFile();

  bool Create(const std::string& path);
  // As Create, but fails when a file or folder is already at path.
  bool CreateNew(const std::string& path);
  bool Write(const void* data, size_t size);
  unsigned long long Position() const { return position_; }
  // Rewrites bytes already written (a header whose checks are known only afterwards).
  bool WriteAt(unsigned long long position, const void* data, size_t size);
  bool SetTime(const FILETIME& written);
  // Closes the file; false, and the file removed, when any step failed.
  bool Finish();

 private:
  void Abandon();

  HANDLE handle_ = INVALID_HANDLE_VALUE;
  std::string path_;
  unsigned long long position_ = 0;
  bool failed_ = false;
};
