// Benchmark (not a test): converts one fixed 4000 x 3000 photo-like picture in all six
// directions through ConvertImage and through ImageMagick's convert at equal settings (JPEG
// quality 80; PNG at zlib level 9 with adaptive filtering, i.e. "-quality 95"; 24-bit BMP),
// and prints each time as a ratio to ImageMagick's, the peak memory against width x height x 4,
// and the output sizes. Native only (fork, exec, wait4).
//
// Limits: PNG targets at most 0.2 of ImageMagick's time and no larger than its file, peak
// memory 2 x (w x h x 4); PNG sources (to BMP or JPEG) 0.45 of the time; BMP <-> JPEG 0.5; BMP
// and JPEG targets 1.1 x (w x h x 4).
//
// Usage: image_bench [--runs N] [--dir FOLDER] [--keep] [--only FROM->TO[,FROM->TO...]]
//   every conversion runs N times (default 3) in a fresh process; the fastest run counts.
//   --only limits the directions, e.g. --only "JPEG->BMP,PNG->BMP". Exit status 0 when every
//   direction run met its limits, 3 when one did not.

#include "image/bmp_codec.h"
#include "image/convert_image.h"
#include "image/image_buffer.h"
#include "image/jpeg_codec.h"
#include "image/png_codec.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const int kWidth = 4000;
const int kHeight = 3000;
const int kQuality = 80;

const char* const kTypeName[] = {"BMP", "PNG", "JPEG"};
const char* const kExt[] = {".bmp", ".png", ".jpg"};

// Deterministic photo-like content: smooth lighting, a few soft-edged objects, fine texture
// and sensor-like noise (so that lossless coders face photo-like entropy).
void MakePicture(ImageBuffer* image) {
  image->width = kWidth;
  image->height = kHeight;
  image->channels = 3;
  if (AllocImagePixels(image) == 0) {
    fprintf(stderr, "out of memory\n");
    exit(1);
  }
  uint32_t state = 0x12345678u;
  for (int row = 0; row < kHeight; ++row) {
    const double v = static_cast<double>(row) / kHeight;
    unsigned char* p = image->pixels + static_cast<size_t>(row) * kWidth * 4;
    for (int x = 0; x < kWidth; ++x, p += 4) {
      const double u = static_cast<double>(x) / kWidth;
      double r = 90 + 80 * u + 30 * std::sin(6.0 * v + 2.0 * u);
      double g = 110 + 60 * v + 25 * std::sin(5.0 * u - 3.0 * v);
      double b = 140 - 70 * v + 20 * std::cos(7.0 * u * v);
      // three soft discs ("objects")
      const double cx[3] = {0.3, 0.65, 0.8}, cy[3] = {0.4, 0.6, 0.25}, rad[3] = {0.15, 0.2, 0.08};
      for (int k = 0; k < 3; ++k) {
        const double dx = (u - cx[k]) * 4.0 / 3.0, dy = v - cy[k];
        const double d = std::sqrt(dx * dx + dy * dy) / rad[k];
        if (d < 1.2) {
          const double w = d < 1.0 ? 1.0 : (1.2 - d) / 0.2;
          r = r * (1 - w) + w * (k == 0 ? 200 : k == 1 ? 60 : 230);
          g = g * (1 - w) + w * (k == 0 ? 80 : k == 1 ? 150 : 210);
          b = b * (1 - w) + w * (k == 0 ? 60 : k == 1 ? 90 : 120);
        }
      }
      // fine texture plus noise
      const double texture = 6 * std::sin(x * 0.9) * std::sin(row * 0.7);
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>((state >> 28) & 7) - 3;
      const double add = texture + noise;
      auto clamp = [](double c) {
        return static_cast<unsigned char>(c < 0 ? 0 : c > 255 ? 255 : std::lround(c));
      };
      p[0] = clamp(r + add);
      p[1] = clamp(g + add);
      p[2] = clamp(b + add);
      p[3] = 255;
    }
  }
}

struct Run {
  double seconds = 0;
  long maxRssKb = 0;
  int status = -1;
};

// Where a child of this program leaves its own peak (see SavePeak).
const char* const kPeakVariable = "QUILLET_BENCH_PEAK";

// A child's peak resident set from the system's accounting counts the copy of this process
// it began as; a child of this program leaves its own instead: the peak of the program it
// became, in KB, from /proc/self/status.
void SavePeak() {
  const char* const path = getenv(kPeakVariable);
  FILE* const status = fopen("/proc/self/status", "r");
  if (path == nullptr || status == nullptr) {
    if (status != nullptr)
      fclose(status);
    return;
  }
  char line[256];
  long kb = -1;
  while (fgets(line, sizeof line, status) != nullptr)
    if (sscanf(line, "VmHWM: %ld kB", &kb) == 1)
      break;
  fclose(status);
  if (FILE* const out = fopen(path, "w")) {
    fprintf(out, "%ld\n", kb);
    fclose(out);
  }
}

// Runs argv in a fresh process; wall time and the child's own peak resident set.
Run Spawn(const std::vector<std::string>& args) {
  const char* const peakPath = getenv(kPeakVariable);
  if (peakPath != nullptr)
    std::remove(peakPath);
  std::vector<char*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  Run run;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execvp(argv[0], argv.data());
    _exit(127);
  }
  if (pid < 0)
    return run;
  int status = 0;
  struct rusage usage;
  memset(&usage, 0, sizeof usage);
  if (wait4(pid, &status, 0, &usage) < 0)
    return run;
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.maxRssKb = usage.ru_maxrss;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  if (FILE* const saved = peakPath != nullptr ? fopen(peakPath, "r") : nullptr) {
    long kb = -1;
    if (fscanf(saved, "%ld", &kb) == 1 && kb > 0)
      run.maxRssKb = kb;
    fclose(saved);
  }
  return run;
}

// Fastest of n runs (its peak memory too; the peaks hardly vary). Each run writes output
// anew, as a first conversion does: replacing a file costs a wait for the disk.
Run Best(const std::vector<std::string>& args, int n, const std::string& output = "") {
  Run best;
  for (int i = 0; i < n; ++i) {
    if (!output.empty())
      std::remove(output.c_str());
    const Run r = Spawn(args);
    if (r.status != 0)
      return r;
    if (i == 0 || r.seconds < best.seconds)
      best = r;
  }
  return best;
}

long long FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

std::string SelfPath(const char* argv0) {
  std::error_code ec;
  const auto p = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(argv0) : p.string();
}

int Usage() {
  fprintf(stderr, "usage: image_bench [--runs N] [--dir FOLDER] [--keep] [--only FROM->TO,...]\n");
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  // Child modes: one conversion, or nothing (the baseline of a process of this program).
  if (argc == 7 && strcmp(argv[1], "--convert") == 0) {
    const int result = ConvertImage(argv[2], argv[3], atoi(argv[4]), atoi(argv[5]), atoi(argv[6]));
    SavePeak();
    return result;
  }
  if (argc == 2 && strcmp(argv[1], "--noop") == 0) {
    SavePeak();
    return 0;
  }

  int runs = 3;
  bool keep = false;
  std::string only;
  std::string dir =
      (std::filesystem::temp_directory_path() / ("quillet-bench-" + std::to_string(getpid())))
          .string();
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--runs") == 0 && i + 1 < argc)
      runs = atoi(argv[++i]);
    else if (strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
      dir = argv[++i];
    else if (strcmp(argv[i], "--keep") == 0)
      keep = true;
    else if (strcmp(argv[i], "--only") == 0 && i + 1 < argc)
      only = "," + std::string(argv[++i]) + ",";
    else
      return Usage();
  }
  if (runs < 1)
    return Usage();
  // ImageMagick's own program, not a wrapper of the same name earlier on the path.
  const std::string convert =
      std::filesystem::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert";
  if (std::system((convert + " -version >/dev/null 2>&1").c_str()) != 0) {
    fprintf(stderr, "ImageMagick's convert is needed for the comparison\n");
    return 1;
  }
  std::filesystem::create_directories(dir);
  const std::string peakFile = dir + "/peak";
  setenv(kPeakVariable, peakFile.c_str(), 1);
  const std::string self = SelfPath(argv[0]);

  printf("Quillet image benchmark: %d x %d photo-like picture, best of %d run(s) each\n", kWidth,
         kHeight, runs);
  printf("working folder %s\n", dir.c_str());
  fflush(stdout);

  // The sources, written once by Quillet's own writers (JPEG source at quality 90).
  {
    ImageBuffer picture;
    InitImageBuffer(&picture);
    MakePicture(&picture);
    const bool ok = WriteBmp((dir + "/source.bmp").c_str(), &picture) == 1 &&
                    WritePng((dir + "/source.png").c_str(), &picture) == 1 &&
                    WriteJpeg((dir + "/source.jpg").c_str(), &picture, 90) == 1;
    FreeImagePixels(&picture);
    if (!ok) {
      fprintf(stderr, "writing the sources failed\n");
      return 1;
    }
  }

  const double block = static_cast<double>(kWidth) * kHeight * 4; // width x height x 4
  const Run baseline = Best({self, "--noop"}, 1);
  printf(
      "picture block width x height x 4 = %.1f MB; baseline process peak %.1f MB (subtracted)\n\n",
      block / 1e6, baseline.maxRssKb / 1024.0 * 1.024);
  printf("%-11s %7s %7s %6s %5s  %8s %8s %6s  %10s %10s %7s\n", "direction", "ours s", "IM s",
         "ratio", "limit", "ours MB", "/(whx4)", "limit", "ours bytes", "IM bytes", "size");

  int misses = 0;
  for (int from = 0; from < 3; ++from)
    for (int to = 0; to < 3; ++to) {
      if (from == to)
        continue;
      const std::string direction = std::string(kTypeName[from]) + "->" + kTypeName[to];
      if (!only.empty() && only.find("," + direction + ",") == std::string::npos)
        continue;
      const std::string source = dir + "/source" + kExt[from];
      const std::string ours = dir + "/ours-from-" + kTypeName[from] + kExt[to];
      const std::string theirs = dir + "/im-from-" + kTypeName[from] + kExt[to];
      const Run a = Best({self, "--convert", source, ours, std::to_string(from), std::to_string(to),
                          std::to_string(kQuality)},
                         runs, ours);
      std::vector<std::string> im = {convert, source};
      if (to == kImageJpeg)
        im.insert(im.end(), {"-quality", std::to_string(kQuality)});
      if (to == kImagePng)
        im.insert(im.end(), {"-quality", "95"}); // zlib 9, adaptive filters
      im.push_back((to == kImageBmp ? "BMP3:" : "") + theirs);
      const Run b = Best(im, runs, theirs);
      if (a.status != 0 || b.status != 0) {
        printf("%s -> %s failed (ours %d, ImageMagick %d)\n", kTypeName[from], kTypeName[to],
               a.status, b.status);
        ++misses;
        continue;
      }
      const double ratio = a.seconds / b.seconds;
      const double limit = to == kImagePng ? 0.2 : from == kImagePng ? 0.45 : 0.5;
      const double peak = (a.maxRssKb - baseline.maxRssKb) * 1024.0;
      const double memoryLimit = to == kImagePng ? 2.0 : 1.1;
      const long long ourBytes = FileSize(ours), imBytes = FileSize(theirs);
      const bool timeOk = ratio <= limit;
      const bool memoryOk = peak / block <= memoryLimit;
      const bool sizeOk = to != kImagePng || ourBytes <= imBytes;
      if (!timeOk || !memoryOk || !sizeOk)
        ++misses;
      std::string verdict = timeOk && memoryOk && sizeOk ? "ok" : "MISS:";
      if (!timeOk)
        verdict += " time";
      if (!memoryOk)
        verdict += " memory";
      if (!sizeOk)
        verdict += " size";
      printf("%-11s %7.3f %7.3f %6.3f %5.2f  %8.1f %8.2f %6.2f  %10lld %10lld %+6.1f%%  %s\n",
             direction.c_str(), a.seconds, b.seconds, ratio, limit, peak / 1e6, peak / block,
             memoryLimit, ourBytes, imBytes,
             imBytes > 0 ? 100.0 * (static_cast<double>(ourBytes) / imBytes - 1) : 0.0,
             verdict.c_str());
      fflush(stdout);
    }
  printf("\nratio = our time / ImageMagick's; /(whx4) = our peak memory / (width x height x 4); "
         "size = our file against ImageMagick's.\n");
  if (!keep)
    std::filesystem::remove_all(dir);
  return misses == 0 ? 0 : 3;
}
