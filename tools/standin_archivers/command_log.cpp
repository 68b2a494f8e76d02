#include "command_log.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>

void LogCommand(const char* entry, const char* commandLine) {
  char path[MAX_PATH * 2];
  DWORD length = GetEnvironmentVariableA("QUILLET_ARCHIVER_LOG", path, sizeof path);
  if (length == 0 || length >= sizeof path)
    return;
  if (!commandLine)
    commandLine = "";
  size_t entryLength = strlen(entry);
  size_t lineLength = strlen(commandLine);
  size_t size = entryLength + 1 + lineLength + 1;
  char* record = static_cast<char*>(malloc(size));
  if (!record)
    return;
  memcpy(record, entry, entryLength);
  record[entryLength] = '\t';
  memcpy(record + entryLength + 1, commandLine, lineLength);
  record[size - 1] = '\n';
  // One write per record in append mode keeps records whole when processes share a log.
  HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, record, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(file);
  }
  free(record);
}
