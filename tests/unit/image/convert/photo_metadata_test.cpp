// Photos through ConvertImage: turned upright by their EXIF orientation, their metadata kept
// where the target can carry it, a BMP's colours converted to sRGB. Sources are made and
// outputs read by independent tools: ImageMagick for pixels, exiftool for metadata, Little CMS
// for the expected colours.
#include "image/convert/convert_image.h"
#include "tests/unit/image/image_test_support.h"

#include <gtest/gtest.h>

#include <lcms2.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

using namespace imgtest;

bool HaveExiftool() {
  static const int have = RunShell("exiftool -ver >/dev/null 2>&1") == 0 ? 1 : 0;
  return have == 1;
}

#define REQUIRE_TOOLS()                                                                            \
  do {                                                                                             \
    QUILLET_REQUIRE_IMAGEMAGICK();                                                                 \
    if (!HaveExiftool())                                                                           \
      GTEST_SKIP() << "exiftool is not installed";                                                 \
  } while (0)

bool Shell(const std::string& command) { return RunShell(command + " >/dev/null 2>&1") == 0; }

// One tag as exiftool prints its value (-n: numbers as stored).
std::string Tag(const std::string& path, const std::string& tag, bool numeric = false) {
  Bytes out;
  RunCapture("exiftool -s3 " + std::string(numeric ? "-n " : "") + "-" + tag + " " +
                 QuotePath(path) + " 2>/dev/null",
             &out);
  std::string text(out.begin(), out.end());
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

// A block exiftool extracts whole (-b), e.g. ICC_Profile.
Bytes Block(const std::string& path, const std::string& tag) {
  Bytes out;
  RunCapture("exiftool -b -" + tag + " " + QuotePath(path) + " 2>/dev/null", &out);
  return out;
}

// A matrix profile with Adobe RGB's primaries and gamma, made by Little CMS.
Bytes AdobeLikeProfile() {
  cmsCIExyY white = {0.3127, 0.3290, 1.0};
  cmsCIExyYTRIPLE primaries = {{0.64, 0.33, 1.0}, {0.21, 0.71, 1.0}, {0.15, 0.06, 1.0}};
  cmsToneCurve* gamma = cmsBuildGamma(nullptr, 563.0 / 256);
  cmsToneCurve* curves[3] = {gamma, gamma, gamma};
  cmsHPROFILE profile = cmsCreateRGBProfile(&white, &primaries, curves);
  cmsFreeToneCurve(gamma);
  cmsMLU* description = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(description, "en", "US", "Quillet test wide gamut");
  cmsWriteTag(profile, cmsSigProfileDescriptionTag, description);
  cmsMLUfree(description);
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  Bytes out(size);
  cmsSaveProfileToMem(profile, out.data(), &size);
  cmsCloseProfile(profile);
  return out;
}

const char* const kExt[3] = {"bmp", "png", "jpg"};

// A 40 x 20 picture of four quadrants: red top left, green top right, blue bottom left,
// white bottom right.
const unsigned char kCorner[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
std::string MakeQuadrants(const TempDir& dir, const std::string& name) {
  const std::string path = dir.File(name);
  const std::string fmt = name.substr(name.size() - 3) == "png" ? "PNG24:" : "";
  EXPECT_TRUE(Shell("convert -size 40x20 xc:red -fill lime -draw 'rectangle 20,0 39,9' -fill blue "
                    "-draw 'rectangle 0,10 19,19' -fill white -draw 'rectangle 20,10 39,19' "
                    "-quality 95 " +
                    fmt + QuotePath(path)));
  return path;
}

// The colour at the centre of each quarter of a decoded picture (top row first).
void Quarters(const Decoded& d, unsigned char out[4][3]) {
  const int xs[2] = {d.width / 4, d.width * 3 / 4}, ys[2] = {d.height / 4, d.height * 3 / 4};
  for (int q = 0; q < 4; ++q) {
    const unsigned char* p =
        d.rgba.data() + (static_cast<size_t>(ys[q / 2]) * d.width + xs[q % 2]) * 4;
    out[q][0] = p[0], out[q][1] = p[1], out[q][2] = p[2];
  }
}

// EXIF orientation -> which stored corner (0 top left, 1 top right, 2 bottom left, 3 bottom
// right) shows in each corner of the upright picture.
struct OrientationCase {
  int orientation;
  int shows[4];
};
const OrientationCase kOrientations[] = {
    {1, {0, 1, 2, 3}}, {2, {1, 0, 3, 2}}, {3, {3, 2, 1, 0}}, {4, {2, 3, 0, 1}},
    {5, {0, 2, 1, 3}}, {6, {2, 0, 3, 1}}, {7, {3, 1, 2, 0}}, {8, {1, 3, 0, 2}},
};

TEST(ThreadedPhotoOrientation, EveryOrientationFromJpegAndPngStandsUpright) {
  REQUIRE_TOOLS();
  TempDir dir;
  const std::string plain[3] = {"", MakeQuadrants(dir, "plain.png"),
                                MakeQuadrants(dir, "plain.jpg")};
  for (const OrientationCase& c : kOrientations) {
    const std::string o = std::to_string(c.orientation);
    std::string sources[3];
    for (int from : {kImageJpeg, kImagePng}) {
      sources[from] = dir.File("o" + o + "." + kExt[from]);
      std::filesystem::copy_file(plain[from], sources[from]);
    }
    ASSERT_TRUE(Shell("exiftool -overwrite_original -Orientation#=" + o + " " +
                      QuotePath(sources[kImageJpeg]) + " " + QuotePath(sources[kImagePng])));
    for (int from : {kImageJpeg, kImagePng}) {
      // Every orientation to PNG, which keeps the pixels; a quarter turn to each format.
      for (int to : {kImagePng, kImageJpeg, kImageBmp}) {
        if (to != kImagePng && c.orientation != 6)
          continue;
        const std::string what = std::string(kExt[from]) + " orientation " + o + " to " + kExt[to];
        const std::string target = dir.File("out-" + o + "-" + kExt[from] + "." + kExt[to]);
        ASSERT_EQ(ConvertImage(sources[from].c_str(), target.c_str(), from, to, 95), 0) << what;
        Decoded d;
        ASSERT_TRUE(MagickDecode(target, &d)) << what;
        const bool quarter = c.orientation >= 5;
        EXPECT_EQ(d.width, quarter ? 20 : 40) << what;
        EXPECT_EQ(d.height, quarter ? 40 : 20) << what;
        unsigned char seen[4][3];
        Quarters(d, seen);
        for (int q = 0; q < 4; ++q)
          for (int k = 0; k < 3; ++k)
            EXPECT_NEAR(seen[q][k], kCorner[c.shows[q]][k], 40) << what << ", corner " << q;
      }
    }
  }
}

// The phone photo of the report: EXIF date, place and camera, XMP, a wide-gamut profile and
// 300 dpi, turned a quarter, with a thumbnail.
struct Photo {
  std::string path;
  Bytes profile;
};

Photo MakePhoto(const TempDir& dir, const std::string& name) {
  Photo photo;
  photo.path = MakeQuadrants(dir, name);
  photo.profile = AdobeLikeProfile();
  const std::string icc = dir.File("wide.icc");
  WriteFile(icc, photo.profile);
  const bool jpeg = name.substr(name.size() - 3) == "jpg";
  EXPECT_TRUE(
      Shell("exiftool -overwrite_original -Orientation#=6 '-DateTimeOriginal=2024:05:06 "
            "07:08:09' -Model=QuilletCam -GPSLatitude=35.681 -GPSLatitudeRef=N "
            "-GPSLongitude=139.767 -GPSLongitudeRef=E '-XMP-dc:Title=Harbour at dawn' "
            "'-ICC_Profile<=" +
            ToolPath(icc) + "' " +
            (jpeg ? "-ExifImageWidth=40 -ExifImageHeight=20 -XResolution=300 -YResolution=300 "
                    "-ResolutionUnit=inches "
                    "-JFIF:XResolution=300 -JFIF:YResolution=300 -JFIF:ResolutionUnit=inches"
                  : "-PNG:PixelsPerUnitX=11811 -PNG:PixelsPerUnitY=11811 "
                    "-PNG:PixelUnits=meters '-PNG:Comment=kept as it is'") +
            " " + QuotePath(photo.path)));
  return photo;
}

void ExpectPhotoMetadata(const std::string& target, const Photo& photo, const std::string& what) {
  // One exiftool run for the lot: -f prints "-" for a missing tag, so the lines stay in order.
  Bytes out;
  RunCapture("exiftool -s3 -n -f -DateTimeOriginal -Model -GPSLatitude -GPSLongitude -Orientation "
             "-XMP-dc:Title -ProfileDescription " +
                 QuotePath(target) + " 2>/dev/null",
             &out);
  std::vector<std::string> v(1);
  for (unsigned char c : out) {
    if (c == '\n')
      v.emplace_back();
    else
      v.back().push_back(static_cast<char>(c));
  }
  v.resize(7);
  EXPECT_EQ(v[0], "2024:05:06 07:08:09") << what;
  EXPECT_EQ(v[1], "QuilletCam") << what;
  EXPECT_EQ(v[2].substr(0, 6), "35.681") << what;
  EXPECT_EQ(v[3].substr(0, 7), "139.767") << what;
  EXPECT_EQ(v[4], "1") << what;
  EXPECT_EQ(v[5], "Harbour at dawn") << what;
  EXPECT_EQ(v[6], "Quillet test wide gamut") << what;
  EXPECT_EQ(Block(target, "ICC_Profile"), photo.profile) << what;
}

TEST(PhotoMetadata, JpegToPngJpegAndBack) {
  REQUIRE_TOOLS();
  TempDir dir;
  const Photo photo = MakePhoto(dir, "photo.jpg");
  ASSERT_EQ(Tag(photo.path, "Orientation", true), "6");

  const std::string png = dir.File("photo.png");
  ASSERT_EQ(ConvertImage(photo.path.c_str(), png.c_str(), kImageJpeg, kImagePng, 90), 0);
  ExpectPhotoMetadata(png, photo, "JPEG to PNG");
  EXPECT_EQ(Tag(png, "PNG:PixelsPerUnitX"), "11811") << "300 dpi";
  EXPECT_EQ(Tag(png, "PNG:PixelUnits"), "meters");
  EXPECT_EQ(Tag(png, "ThumbnailLength"), "") << "the thumbnail would stand sideways";

  const std::string back = dir.File("back.jpg");
  ASSERT_EQ(ConvertImage(png.c_str(), back.c_str(), kImagePng, kImageJpeg, 90), 0);
  ExpectPhotoMetadata(back, photo, "PNG to JPEG");
  EXPECT_EQ(Tag(back, "JFIF:XResolution"), "300");
  EXPECT_EQ(Tag(back, "JFIF:ResolutionUnit"), "inches");

  // Onto itself, as after the same-format question.
  const std::string self = dir.File("self.jpg");
  std::filesystem::copy_file(photo.path, self);
  ASSERT_EQ(ConvertImage(self.c_str(), self.c_str(), kImageJpeg, kImageJpeg, 90), 0);
  ExpectPhotoMetadata(self, photo, "JPEG onto itself");
  EXPECT_EQ(Tag(self, "ExifImageWidth"), "20") << "turned dimensions";
  EXPECT_EQ(Tag(self, "ExifImageHeight"), "40");
}

TEST(PhotoMetadata, PngToJpegPngAndBmp) {
  REQUIRE_TOOLS();
  TempDir dir;
  const Photo photo = MakePhoto(dir, "photo.png");
  ASSERT_EQ(Tag(photo.path, "Orientation", true), "6") << "exiftool wrote an eXIf chunk";

  const std::string jpeg = dir.File("photo.jpg");
  ASSERT_EQ(ConvertImage(photo.path.c_str(), jpeg.c_str(), kImagePng, kImageJpeg, 90), 0);
  ExpectPhotoMetadata(jpeg, photo, "PNG to JPEG");
  EXPECT_EQ(Tag(jpeg, "JFIF:XResolution"), "300");

  const std::string self = dir.File("self.png");
  std::filesystem::copy_file(photo.path, self);
  ASSERT_EQ(ConvertImage(self.c_str(), self.c_str(), kImagePng, kImagePng, 90), 0);
  ExpectPhotoMetadata(self, photo, "PNG onto itself");
  EXPECT_EQ(Tag(self, "PNG:Comment"), "kept as it is");
  EXPECT_EQ(Tag(self, "PNG:PixelsPerUnitX"), "11811");

  const std::string bmp = dir.File("photo.bmp");
  ASSERT_EQ(ConvertImage(photo.path.c_str(), bmp.c_str(), kImagePng, kImageBmp, 90), 0);
  EXPECT_EQ(Tag(bmp, "PixelsPerMeterX"), "11811");
  EXPECT_EQ(Tag(bmp, "PixelsPerMeterY"), "11811");

  // A BMP's resolution travels on, and one that states none gets what was always written.
  const std::string fromBmp = dir.File("from-bmp.png");
  ASSERT_EQ(ConvertImage(bmp.c_str(), fromBmp.c_str(), kImageBmp, kImagePng, 90), 0);
  EXPECT_EQ(Tag(fromBmp, "PNG:PixelsPerUnitX"), "11811");
  const std::string plain = MakeQuadrants(dir, "plain.png");
  const std::string plainBmp = dir.File("plain.bmp");
  ASSERT_EQ(ConvertImage(plain.c_str(), plainBmp.c_str(), kImagePng, kImageBmp, 90), 0);
  EXPECT_EQ(Tag(plainBmp, "PixelsPerMeterX"), "2834");
}

// Saturated colours under the wide-gamut profile: the BMP holds what Little CMS makes of
// them in sRGB (perceptual intent); JPEG and PNG keep the pixels and the profile.
TEST(ThreadedPhotoColours, BmpFromAProfiledPictureIsInSrgb) {
  REQUIRE_TOOLS();
  TempDir dir;
  const Bytes profile = AdobeLikeProfile();
  const std::string icc = dir.File("wide.icc");
  WriteFile(icc, profile);
  const std::string source = dir.File("colours.png");
  ASSERT_TRUE(
      Shell("convert -size 64x8 gradient:'#00ff20-#ff3000' -depth 8 PNG24:" + QuotePath(source)));
  ASSERT_TRUE(Shell("exiftool -overwrite_original '-ICC_Profile<=" + ToolPath(icc) + "' " +
                    QuotePath(source)));
  Decoded original;
  ASSERT_TRUE(MagickDecode(source, &original));

  cmsHPROFILE wide =
      cmsOpenProfileFromMem(profile.data(), static_cast<cmsUInt32Number>(profile.size()));
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHTRANSFORM transform =
      cmsCreateTransform(wide, TYPE_RGBA_8, srgb, TYPE_RGBA_8, INTENT_PERCEPTUAL, 0);
  ASSERT_NE(transform, nullptr);
  Bytes expected(original.rgba.size());
  cmsDoTransform(transform, original.rgba.data(), expected.data(),
                 static_cast<cmsUInt32Number>(original.width * original.height));
  cmsDeleteTransform(transform);
  cmsCloseProfile(wide);
  cmsCloseProfile(srgb);

  const std::string bmp = dir.File("colours.bmp");
  ASSERT_EQ(ConvertImage(source.c_str(), bmp.c_str(), kImagePng, kImageBmp, 90), 0);
  Decoded written;
  ASSERT_TRUE(MagickDecode(bmp, &written));
  ASSERT_EQ(written.rgba.size(), expected.size());
  int worst = 0, changed = 0;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (i % 4 == 3)
      continue;
    worst = std::max(worst, std::abs(written.rgba[i] - expected[i]));
    changed += written.rgba[i] != original.rgba[i];
  }
  EXPECT_LE(worst, 1);
  EXPECT_GT(changed, 0) << "the saturated colours must move";

  const std::string png = dir.File("kept.png");
  ASSERT_EQ(ConvertImage(source.c_str(), png.c_str(), kImagePng, kImagePng, 90), 0);
  Decoded kept;
  ASSERT_TRUE(MagickDecode(png, &kept));
  EXPECT_EQ(kept.rgba, original.rgba);
  EXPECT_EQ(Block(png, "ICC_Profile"), profile);
}

// The Title names the file alone: tEXt when Latin-1, iTXt in UTF-8 otherwise.
TEST(PhotoTitle, NamesTheFileNotItsFolders) {
  REQUIRE_TOOLS();
  TempDir dir;
  const std::string source = MakeQuadrants(dir, "t.png");
  struct Case {
    std::string name;  // code page 932 bytes
    std::string title; // as exiftool shows it (UTF-8)
    const char* chunk;
  };
  const Case cases[] = {
      {"plain name.png", "plain name.png", "tEXt"},
      {"a\x81\x98"
       "b.png",
       "a\xC2\xA7"
       "b.png",
       "tEXt"}, // the section sign is Latin-1
      {"\x8e\xca\x90\x5e.png", "\xE5\x86\x99\xE7\x9C\x9F.png", "iTXt"}, // Japanese
  };
  for (const Case& c : cases) {
#ifdef _WIN32
    // The test's own file helpers and the machine's exiftool name files in UTF-8, which a
    // code page 932 name does not reach under Wine: only the plain name is checked here.
    if (c.title != c.name)
      continue;
#endif
    const std::string target = dir.File(c.name);
    ASSERT_EQ(ConvertImage(source.c_str(), target.c_str(), kImagePng, kImagePng, 90), 0);
    EXPECT_EQ(Tag(target, "PNG:Title"), c.title);
    const Bytes file = ReadFile(target);
    const std::string bytes(file.begin(), file.end());
    EXPECT_NE(bytes.find(std::string(c.chunk) + "Title"), std::string::npos) << c.title;
    EXPECT_EQ(bytes.find(dir.File("")), std::string::npos) << "no folder in the file";
  }
}

} // namespace
