// Writes small seed files for the fuzz targets:
// fuzz_seeds <bmp-dir> <png-dir> <jpeg-dir> <zlib-dir>.
// Besides pictures from the writers, hand-made BMPs of every kind the reader decodes (run
// lengths, masks, OS/2 and V5 headers, top-down), CMYK and YCCK JPEGs, and zlib streams of
// every block kind for the inflater, and JPEGs and PNGs carrying metadata of every kind (EXIF
// with an orientation and a thumbnail directory, XMP, a profile in one or several segments,
// iCCP, pHYs, text chunks, eXIf before and after the image data).
#include "image/bmp/bmp_codec.h"
#include "image/jpeg/jpeg_codec.h"
#include "image/meta/image_metadata.h"
#include "image/picture/image_buffer.h"
#include "image/png/png_codec.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <lcms2.h>
#include <zlib.h>

namespace {

using Bytes = std::vector<unsigned char>;

void Put(Bytes* b, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i)
    b->push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

struct BmpSeed {
  const char* name;
  uint32_t infoSize;
  int32_t width, height;
  unsigned bits;
  uint32_t compression;
  std::vector<uint32_t> masks; // in the header beyond 40 bytes, or after a 40-byte one
  int paletteEntries;
  Bytes data;
};

Bytes MakeBmp(const BmpSeed& s) {
  Bytes info;
  Put(&info, s.infoSize, 4);
  if (s.infoSize == 12) {
    Put(&info, static_cast<uint32_t>(s.width), 2), Put(&info, static_cast<uint32_t>(s.height), 2);
    Put(&info, 1, 2), Put(&info, s.bits, 2);
  } else {
    Put(&info, static_cast<uint32_t>(s.width), 4), Put(&info, static_cast<uint32_t>(s.height), 4);
    Put(&info, 1, 2), Put(&info, s.bits, 2), Put(&info, s.compression, 4);
    Put(&info, static_cast<uint32_t>(s.data.size()), 4), Put(&info, 2835, 4), Put(&info, 2835, 4);
    Put(&info, static_cast<uint32_t>(s.paletteEntries), 4), Put(&info, 0, 4);
    for (uint32_t m : s.masks)
      Put(&info, m, 4);
    if (info.size() < s.infoSize)
      info.resize(s.infoSize, 0);
  }
  const size_t entry = s.infoSize == 12 ? 3 : 4;
  for (int i = 0; i < s.paletteEntries; ++i)
    Put(&info, static_cast<uint32_t>(i * 0x3A5F17u) & 0xFFFFFFu, static_cast<int>(entry));
  Bytes file = {'B', 'M'};
  Put(&file, static_cast<uint32_t>(14 + info.size() + s.data.size()), 4);
  Put(&file, 0, 4);
  Put(&file, static_cast<uint32_t>(14 + info.size()), 4);
  file.insert(file.end(), info.begin(), info.end());
  file.insert(file.end(), s.data.begin(), s.data.end());
  return file;
}

Bytes Pattern(size_t n) {
  Bytes b(n);
  for (size_t i = 0; i < n; ++i)
    b[i] = static_cast<unsigned char>(i * 29 + 7);
  return b;
}

bool WriteBmpSeeds(const std::string& dir) {
  const uint32_t alpha32[] = {0xFF0000, 0xFF00, 0xFF, 0xFF000000};
  const BmpSeed seeds[] = {
      {"rle8", 40, 6, 3, 8, 1, {}, 4, {2, 1, 0, 2, 2, 1, 1, 2, 0, 0, 0, 3, 1, 2, 1, 0, 0, 1}},
      {"rle4", 40, 6, 3, 4, 2, {}, 4, {5, 0x12, 0, 0, 0, 5, 0x12, 0x30, 0x10, 0,
                                       0, 0,    0, 2, 2, 0, 2,    0x33, 0,    1}},
      {"bitfields565", 40, 3, 2, 16, 3, {0xF800, 0x07E0, 0x001F}, 0, Pattern(16)},
      {"rgb555", 40, 3, 2, 16, 0, {}, 0, Pattern(16)},
      {"alphabitfields",
       40,
       2,
       2,
       32,
       6,
       {alpha32[0], alpha32[1], alpha32[2], alpha32[3]},
       0,
       Pattern(16)},
      {"v4-argb",
       108,
       2,
       2,
       32,
       3,
       {alpha32[0], alpha32[1], alpha32[2], alpha32[3]},
       0,
       Pattern(16)},
      {"v5-4444", 124, 2, 2, 16, 3, {0x0F00, 0x00F0, 0x000F, 0xF000}, 0, Pattern(8)},
      {"v5-pal8", 124, 3, 2, 8, 0, {}, 5, Pattern(8)},
      {"os2-pal4", 12, 5, 2, 4, 0, {}, 16, Pattern(8)},
      {"os2v2-pal8", 64, 3, 2, 8, 0, {}, 7, Pattern(8)},
      {"topdown24", 40, 3, -2, 24, 0, {}, 0, Pattern(24)},
      {"pal2", 40, 5, 2, 2, 0, {}, 4, Pattern(8)},
  };
  int failures = 0;
  for (const BmpSeed& s : seeds) {
    const Bytes file = MakeBmp(s);
    FILE* f = std::fopen((dir + "/hand-" + s.name + ".bmp").c_str(), "wb");
    failures += f == nullptr || std::fwrite(file.data(), 1, file.size(), f) != file.size();
    if (f != nullptr)
      std::fclose(f);
  }
  return failures == 0;
}

// A 9 x 5 four-component JPEG: CMYK with or without the Adobe marker, or YCCK.
bool WriteInkJpeg(const std::string& path, J_COLOR_SPACE space, bool adobe) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr)
    return false;
  jpeg_compress_struct c;
  jpeg_error_mgr err;
  c.err = jpeg_std_error(&err);
  jpeg_create_compress(&c);
  jpeg_stdio_dest(&c, file);
  c.image_width = 9;
  c.image_height = 5;
  c.input_components = 4;
  c.in_color_space = JCS_CMYK;
  jpeg_set_defaults(&c);
  jpeg_set_colorspace(&c, space);
  c.write_Adobe_marker = adobe ? TRUE : FALSE;
  jpeg_start_compress(&c, TRUE);
  Bytes row = Pattern(9 * 4);
  JSAMPROW rows[1] = {row.data()};
  while (c.next_scanline < c.image_height)
    jpeg_write_scanlines(&c, rows, 1);
  jpeg_finish_compress(&c);
  jpeg_destroy_compress(&c);
  return std::fclose(file) == 0;
}

// Stored, fixed and dynamic blocks, runs and literals only, over text and noise.
bool WriteZlibSeeds(const std::string& dir) {
  Bytes data(3000);
  for (size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<unsigned char>(i < 2000 ? "pixel rows "[i % 11] : (i * 7919) >> 3);
  const int kinds[][2] = {{0, Z_DEFAULT_STRATEGY},
                          {1, Z_FIXED},
                          {9, Z_DEFAULT_STRATEGY},
                          {6, Z_HUFFMAN_ONLY},
                          {6, Z_RLE}};
  bool ok = true;
  for (const auto& k : kinds) {
    Bytes out(data.size() * 2);
    uLongf length = out.size();
    z_stream z = {};
    deflateInit2(&z, k[0], Z_DEFLATED, 15, 8, k[1]);
    z.next_in = data.data();
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(length);
    ok = ok && deflate(&z, Z_FINISH) == Z_STREAM_END;
    length = z.total_out;
    deflateEnd(&z);
    const std::string name = dir + "/zlib-" + std::to_string(k[0]) + "-" + std::to_string(k[1]);
    FILE* file = std::fopen(name.c_str(), "wb");
    ok = ok && file != nullptr && std::fwrite(out.data(), 1, length, file) == length;
    if (file != nullptr)
      ok = std::fclose(file) == 0 && ok;
  }
  return ok;
}

// ----- metadata seeds

void PutBig(Bytes* b, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i)
    b->push_back(static_cast<unsigned char>((v >> (8 * i)) & 0xFF));
}

void PutOrder(Bytes* b, uint32_t v, int bytes, bool big) {
  if (big)
    PutBig(b, v, bytes);
  else
    Put(b, v, bytes);
}

// A TIFF structure: IFD0 (orientation, resolution, EXIF pointer), the EXIF directory (pixel
// width and height), IFD1 (a thumbnail's tags), and the rationals they point at.
Bytes MakeExif(bool big, uint32_t orientation) {
  Bytes b = big ? Bytes{'M', 'M', 0, 42} : Bytes{'I', 'I', 42, 0};
  PutOrder(&b, 8, 4, big);
  const uint32_t ifd0 = 8, exifIfd = ifd0 + 2 + 5 * 12 + 4, ifd1 = exifIfd + 2 + 2 * 12 + 4;
  const uint32_t rationals = ifd1 + 2 + 2 * 12 + 4;
  auto entry = [&](uint32_t tag, uint32_t type, uint32_t count, uint32_t value) {
    PutOrder(&b, tag, 2, big), PutOrder(&b, type, 2, big), PutOrder(&b, count, 4, big);
    if (type == 3 && count == 1)
      PutOrder(&b, value, 2, big), PutOrder(&b, 0, 2, big);
    else
      PutOrder(&b, value, 4, big);
  };
  PutOrder(&b, 5, 2, big);
  entry(0x0112, 3, 1, orientation);
  entry(0x011A, 5, 1, rationals);
  entry(0x011B, 5, 1, rationals + 8);
  entry(0x0128, 3, 1, 2);
  entry(0x8769, 4, 1, exifIfd);
  PutOrder(&b, ifd1, 4, big);
  PutOrder(&b, 2, 2, big);
  entry(0xA002, 3, 1, 9);
  entry(0xA003, 4, 1, 5);
  PutOrder(&b, 0, 4, big);
  PutOrder(&b, 2, 2, big);
  entry(0x0103, 3, 1, 6);
  entry(0x0201, 4, 1, 0);
  PutOrder(&b, 0, 4, big);
  PutOrder(&b, 300, 4, big), PutOrder(&b, 1, 4, big);
  PutOrder(&b, 300, 4, big), PutOrder(&b, 1, 4, big);
  return b;
}

Bytes MakeProfile() {
  cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 2.2);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  cmsUInt32Number size = 0;
  Bytes out;
  if (profile != nullptr && cmsSaveProfileToMem(profile, nullptr, &size)) {
    out.resize(size);
    cmsSaveProfileToMem(profile, out.data(), &size);
  }
  if (profile != nullptr)
    cmsCloseProfile(profile);
  return out;
}

void SetBlock(MetadataBlock* block, const Bytes& bytes) {
  SetMetadataBlock(block, bytes.data(), bytes.size());
}

bool WriteBytes(const std::string& path, const Bytes& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  bool ok = f != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  if (f != nullptr)
    ok = std::fclose(f) == 0 && ok;
  return ok;
}

Bytes ReadBytes(const std::string& path) {
  Bytes b;
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr)
    return b;
  int c;
  while ((c = std::fgetc(f)) != EOF)
    b.push_back(static_cast<unsigned char>(c));
  std::fclose(f);
  return b;
}

// APP2 profile segments numbered as given, each with the stated count, right behind SOI.
Bytes WithIccSegments(const Bytes& jpeg, const Bytes& icc, const std::vector<int>& numbers,
                      int count) {
  Bytes out(jpeg.begin(), jpeg.begin() + 2);
  const size_t piece = (icc.size() + numbers.size() - 1) / numbers.size();
  for (size_t k = 0; k < numbers.size(); ++k) {
    const size_t at = k * piece < icc.size() ? k * piece : icc.size();
    const size_t length = icc.size() - at < piece ? icc.size() - at : piece;
    out.push_back(0xFF), out.push_back(0xE2);
    PutBig(&out, static_cast<uint32_t>(2 + 12 + 2 + length), 2);
    const char id[] = "ICC_PROFILE";
    out.insert(out.end(), id, id + sizeof id);
    out.push_back(static_cast<unsigned char>(numbers[k]));
    out.push_back(static_cast<unsigned char>(count));
    out.insert(out.end(), icc.begin() + static_cast<long>(at),
               icc.begin() + static_cast<long>(at + length));
  }
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

// A chunk put in just before IEND (behind the image data).
Bytes WithChunkAtEnd(const Bytes& png, const char* type, const Bytes& data) {
  Bytes chunk;
  PutBig(&chunk, static_cast<uint32_t>(data.size()), 4);
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), data.begin(), data.end());
  PutBig(&chunk,
         static_cast<uint32_t>(crc32(0, chunk.data() + 4, static_cast<uInt>(4 + data.size()))), 4);
  Bytes out(png.begin(), png.end() - 12);
  out.insert(out.end(), chunk.begin(), chunk.end());
  out.insert(out.end(), png.end() - 12, png.end());
  return out;
}

Bytes TextChunk(const char* type, const std::string& keyword, const Bytes& rest) {
  Bytes b(keyword.begin(), keyword.end());
  b.push_back(0);
  b.insert(b.end(), rest.begin(), rest.end());
  Bytes chunk;
  PutBig(&chunk, static_cast<uint32_t>(b.size()), 4);
  chunk.insert(chunk.end(), type, type + 4);
  chunk.insert(chunk.end(), b.begin(), b.end());
  return chunk;
}

bool WriteMetadataSeeds(const std::string& pngDir, const std::string& jpegDir) {
  const char xmp[] = "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF><rdf:Description "
                     "tiff:Orientation=\"6\"/></rdf:RDF></x:xmpmeta>";
  Bytes deflated(256);
  uLongf packedSize = deflated.size();
  const char words[] = "a text that is compressed";
  compress(deflated.data(), &packedSize, reinterpret_cast<const Bytes::value_type*>(words),
           sizeof words);
  deflated.resize(packedSize);
  Bytes texts;
  const Bytes tEXt = TextChunk("tEXt", "Comment", Bytes{'h', 'i'});
  Bytes zRest = {0};
  zRest.insert(zRest.end(), deflated.begin(), deflated.end());
  const Bytes zTXt = TextChunk("zTXt", "Description", zRest);
  const Bytes iTXt = TextChunk("iTXt", "Author", Bytes{0, 0, 'j', 'a', 0, 0, 0xE5, 0x86, 0x99});
  for (const Bytes* t : {&tEXt, &zTXt, &iTXt})
    texts.insert(texts.end(), t->begin(), t->end());
  const Bytes profile = MakeProfile();

  bool ok = !profile.empty();
  for (int variant = 0; variant < 4; ++variant) {
    ImageBuffer image;
    InitImageBuffer(&image);
    image.width = 9;
    image.height = 5;
    image.channels = variant == 3 ? 1 : 3;
    if (AllocImagePixels(&image) == 0)
      return false;
    for (int i = 0; i < 9 * 5 * 4; ++i)
      image.pixels[i] = static_cast<unsigned char>(i * 29);
    ImageMetadata meta;
    InitImageMetadata(&meta);
    if (variant != 3)
      SetBlock(&meta.exif, MakeExif(variant == 1, static_cast<uint32_t>(6 + variant)));
    SetMetadataBlock(&meta.xmp, reinterpret_cast<const unsigned char*>(xmp), sizeof xmp - 1);
    if (variant != 3)
      SetBlock(&meta.icc, profile);
    std::snprintf(meta.iccName, sizeof meta.iccName, "seed profile");
    meta.resolutionUnit = variant == 2 ? kResolutionMetre : kResolutionInch;
    meta.xResolution = variant == 2 ? 11811 : 300;
    meta.yResolution = variant == 2 ? 11811 : 300;
    SetBlock(&meta.pngTexts, texts);
    const std::string name = "/meta-" + std::to_string(variant);
    ok = ok && EncodeJpeg((jpegDir + name + ".jpg").c_str(), &image, 60, &meta, nullptr, nullptr) ==
                   kImageOk;
    ok = ok && EncodePng((pngDir + name + ".png").c_str(), "seed.png", &image, &meta, nullptr) ==
                   kImageOk;
    FreeImageMetadata(&meta);
    FreeImagePixels(&image);
  }
  // A profile over three segments, and over segments whose numbers and count disagree.
  const Bytes plain = ReadBytes(jpegDir + "/meta-3.jpg");
  ok = ok && plain.size() > 2;
  ok = ok && WriteBytes(jpegDir + "/icc-three.jpg", WithIccSegments(plain, profile, {1, 2, 3}, 3));
  ok = ok && WriteBytes(jpegDir + "/icc-wrong.jpg", WithIccSegments(plain, profile, {2, 2, 4}, 3));
  // EXIF behind the image data, in a PNG that has none before it.
  const Bytes png = ReadBytes(pngDir + "/meta-3.png");
  ok = ok && png.size() > 12;
  ok = ok && WriteBytes(pngDir + "/exif-late.png", WithChunkAtEnd(png, "eXIf", MakeExif(true, 8)));
  return ok;
}

} // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: fuzz_seeds <bmp-dir> <png-dir> <jpeg-dir> <zlib-dir>\n");
    return 2;
  }
  const int sizes[][2] = {{1, 1}, {3, 2}, {9, 5}, {17, 16}};
  int failures = 0;
  for (int channels = 1; channels <= 4; ++channels)
    for (const auto& s : sizes) {
      ImageBuffer image;
      InitImageBuffer(&image);
      image.width = s[0];
      image.height = s[1];
      image.channels = channels;
      if (AllocImagePixels(&image) == 0)
        return 1;
      for (int i = 0; i < s[0] * s[1] * 4; ++i)
        image.pixels[i] = static_cast<unsigned char>(i * 37 + channels * 11);
      const std::string name = "/seed-" + std::to_string(channels) + "-" + std::to_string(s[0]) +
                               "x" + std::to_string(s[1]);
      if (channels == 3)
        failures += WriteBmp((argv[1] + name + ".bmp").c_str(), &image) != 1;
      failures += WritePng((argv[2] + name + ".png").c_str(), &image) != 1;
      failures += WriteJpeg((argv[3] + name + ".jpg").c_str(), &image, 50) != 1;
      FreeImagePixels(&image);
    }
  failures += !WriteBmpSeeds(argv[1]);
  const std::string jpeg = argv[3];
  failures += !WriteInkJpeg(jpeg + "/cmyk-adobe.jpg", JCS_CMYK, true);
  failures += !WriteInkJpeg(jpeg + "/cmyk-plain.jpg", JCS_CMYK, false);
  failures += !WriteInkJpeg(jpeg + "/ycck.jpg", JCS_YCCK, true);
  failures += !WriteZlibSeeds(argv[4]);
  failures += !WriteMetadataSeeds(argv[2], argv[3]);
  return failures == 0 ? 0 : 1;
}
