// What a picture carries besides its pixels, read from the source and handed to the writer:
// EXIF, XMP, the colour profile, the resolution and a PNG's own text chunks.
#pragma once

#include <cstddef>
#include <cstdint>

struct MetadataBlock {
  unsigned char* data; // malloc'd, or null
  size_t size;
};

enum ResolutionUnit {
  kResolutionNone = 0,   // nothing known
  kResolutionAspect = 1, // only the pixels' aspect ratio
  kResolutionInch = 2,
  kResolutionCm = 3,
  kResolutionMetre = 4,
};

struct ImageMetadata {
  MetadataBlock exif;     // from the TIFF header on (no "Exif" prefix)
  MetadataBlock xmp;      // the XMP packet
  MetadataBlock icc;      // the whole colour profile, uncompressed
  char iccName[80];       // the profile's name in a PNG, empty when there is none
  MetadataBlock pngTexts; // PNG text chunks kept whole: 4-byte length, 4-byte type, data
  int resolutionUnit;     // a ResolutionUnit
  double xResolution;     // pixels per unit (aspect: the two numbers of the ratio)
  double yResolution;
  int orientation; // the EXIF orientation (else the XMP one), 1 to 8; 1 when none or unreadable
  int32_t width;   // as the file's header states, 0 when unknown
  int32_t height;
};

// Puts a fresh record into the empty state.
void InitImageMetadata(ImageMetadata* meta);

// Releases every block; the record is empty again.
void FreeImageMetadata(ImageMetadata* meta);

// Copies size bytes into block (releasing what it held); 0 when memory runs out (block empty).
int SetMetadataBlock(MetadataBlock* block, const unsigned char* data, size_t size);
void ClearMetadataBlock(MetadataBlock* block);

// The largest block kept of any one kind: a JPEG's profile can be 255 segments long.
const size_t kMaxMetadataBytes = size_t{16} << 20;

// What the EXIF block adds once a file's own metadata is read: the orientation (the XMP
// packet's when the EXIF states none), and the resolution when the file stated none.
void TakeExifFacts(ImageMetadata* meta);

// The resolution in pixels per metre, rounded; 0 when no absolute resolution is known.
uint32_t PixelsPerMetreX(const ImageMetadata* meta);
uint32_t PixelsPerMetreY(const ImageMetadata* meta);

// The colour space a profile describes, from its header.
enum ProfileColours { kProfileOther = 0, kProfileRgb = 1, kProfileGray = 2 };
int ProfileColourSpace(const MetadataBlock* icc);
