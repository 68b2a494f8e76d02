#include "base/temp_target.h"

#include "base/temp_target_os.h"

#include <cstdint>
#include <cstring>

namespace {

const int kAttempts = 100;

uint64_t Seed() {
  static uint64_t calls = 0;
  ++calls;
  const uint64_t a = TempClockBits(), b = TempProcessBits();
  return (a << 20) ^ (b << 40) ^ b ^ (calls * 0x9E3779B97F4A7C15ull);
}

} // namespace

int CreateTempBeside(const char* target, char* temp, size_t tempSize) {
  bool exists = false;
  if (target == nullptr || temp == nullptr || !TempTargetReplaceable(target, &exists))
    return 0;
  const size_t folder = TempNameOffset(target);
  const size_t nameLength = strlen(target + folder);
  if (nameLength == 0)
    return 0;
  // "~" and hex digits, as long as the target's name (between 4 and 12 characters), so that
  // the temporary path fits wherever the target's path does.
  size_t digits = nameLength - 1;
  if (digits < 3)
    digits = 3;
  if (digits > 11)
    digits = 11;
  if (folder + 1 + digits + 1 > tempSize)
    return 0;
  memcpy(temp, target, folder);
  temp[folder] = '~';
  uint64_t state = Seed();
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    uint64_t bits = state >> 8;
    for (size_t i = 0; i < digits; ++i, bits >>= 4)
      temp[folder + 1 + i] = "0123456789ABCDEF"[bits & 0xF];
    temp[folder + 1 + digits] = '\0';
    const int made = TempCreateExclusive(temp);
    if (made != 0)
      return made > 0 ? 1 : 0;
  }
  return 0;
}

int ReplaceWithTemp(const char* temp, const char* target) {
  bool exists = false;
  if (temp == nullptr || target == nullptr || !TempTargetReplaceable(target, &exists))
    return 0;
  // A file that takes an existing one's place is on the disk first, so that a crash leaves
  // the old file or the new one. A new name risks nothing the user had, and waiting for the
  // disk would double the time of a large BMP.
  if (exists && !TempFlushToDisk(temp))
    return 0;
  return TempMoveOver(temp, target) ? 1 : 0;
}

void RemoveTemp(const char* temp) {
  if (temp == nullptr)
    return;
  TempDelete(temp);
}
