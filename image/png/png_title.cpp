#include "image/png/png_title.h"

#include "base/ansi_text.h"
#include "base/cp932.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

namespace {

const char kKeyword[] = "Title";

void PutUtf8(uint32_t c, std::vector<unsigned char>* out) {
  if (c < 0x80) {
    out->push_back(static_cast<unsigned char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<unsigned char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<unsigned char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<unsigned char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<unsigned char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<unsigned char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<unsigned char>(0x80 | (c & 0x3F)));
  }
}

int BuildTitle(const char* target, PngTextChunk* chunk);

} // namespace

const char* FileNameOf(const char* path) {
  const char* name = path;
  for (const char* p = path; *p != '\0'; p += Cp932CharLength(p))
    if (*p == '\\' || *p == '/' || *p == ':')
      name = p + 1;
  return name;
}

int MakePngTitle(const char* target, PngTextChunk* chunk) {
  memset(chunk, 0, sizeof *chunk);
  try {
    return BuildTitle(target, chunk);
  } catch (const std::bad_alloc&) {
    FreePngTitle(chunk);
    return 0;
  }
}

namespace {

int BuildTitle(const char* target, PngTextChunk* chunk) {
  std::vector<uint32_t> text;
  std::vector<unsigned char> data(kKeyword, kKeyword + sizeof kKeyword); // with its zero
  const char* const name = FileNameOf(target);
  bool latin1 = AnsiCodePoints(name, &text);
  if (!latin1) {
    // Undecodable bytes: the printable ASCII of the name only.
    text.clear();
    for (const char* p = name; *p != '\0'; ++p)
      if (*p >= 0x20 && *p < 0x7F)
        text.push_back(static_cast<unsigned char>(*p));
    latin1 = true;
  }
  for (uint32_t c : text)
    latin1 = latin1 && c <= 0xFF && c != 0;
  if (latin1) {
    memcpy(chunk->type, "tEXt", 5);
    for (uint32_t c : text)
      data.push_back(static_cast<unsigned char>(c));
  } else {
    memcpy(chunk->type, "iTXt", 5);
    // Not compressed, no language tag, no translated keyword.
    const unsigned char fields[4] = {0, 0, 0, 0};
    data.insert(data.end(), fields, fields + 4);
    for (uint32_t c : text)
      PutUtf8(c, &data);
  }
  chunk->data = static_cast<unsigned char*>(malloc(data.size()));
  if (chunk->data == nullptr)
    return 0;
  memcpy(chunk->data, data.data(), data.size());
  chunk->size = data.size();
  return 1;
}

} // namespace

void FreePngTitle(PngTextChunk* chunk) {
  free(chunk->data);
  chunk->data = nullptr;
  chunk->size = 0;
}
