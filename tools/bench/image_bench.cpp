// Benchmark (not a test): converts one fixed 4000 x 3000 photo-like picture in all six
// directions (BMP, PNG, JPEG) with each build of Quillet's ConvertImage, timed inside its own
// process (bench_convert: native, and the Windows builds under Wine), and with ImageMagick,
// GraphicsMagick and libvips run natively at equal settings (JPEG quality 80 with 4:2:0
// subsampling; PNG at zlib level 9 with adaptive filtering, i.e. ImageMagick's "-quality 95";
// 24-bit BMP). Every time is the best of N fresh processes, each run of a direction timing
// every peer and every build in turn; a peer's start-up, measured on a 1 x 1 picture in the
// same direction (2 x 2 where a tool refuses that), is subtracted from its time.
//
// The limits apply to one build: i686 when it runs natively, else x86_64, else the native one
// (the others are shown as references; an i686 build emulated by qemu-i386 is timed too). Against ImageMagick's time: PNG->BMP and JPEG->BMP 0.30,
// PNG->JPEG 0.30 (and 0.8 of libvips's), BMP->JPEG 0.25, BMP->PNG and JPEG->PNG 0.12 on
// x86_64 and 0.15 on i686. Files: PNG and JPEG no larger than ImageMagick's. Peak memory,
// less that of the same program doing nothing: 2 x (width x height x 4) for PNG targets,
// 1.1 x for BMP and JPEG targets.
//
// Usage: image_bench [--runs N] [--dir FOLDER] [--keep] [--only FROM->TO[,...]]
//                    [--native EXE] [--wine LOADER] [--win64 EXE] [--win32 EXE]
//                    [--no-win32 REASON] [--win32-emulated HOW]
//                    [--against-win64 EXE] [--against-native EXE]
//   --native: the native bench_convert (default: the one beside this program);
//   --win64/--win32: the Windows builds' bench_convert.exe, run with the Wine loader;
//   --no-win32: why the i686 build is not run (printed on one line);
//   --win32-emulated: how the i686 build runs when its code is emulated (printed on one line):
//   it is then a reference, and the limits stay on x86_64;
//   --against-win64/--against-native: the same build of another version of Quillet (its
//     bench_convert), timed in turn with ours; a last table gives our time against its.
// Exit status 0 when the limited build met every limit, 3 when it missed one, 1 on failure.

#include "image/convert/convert_image.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
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

// ----- processes

struct Output {
  int status = -1; // exit status, -1 when the program did not end normally
  double seconds = 0;
  std::string text; // its standard output
};

// Runs args in a fresh process, its standard error silenced; wall time and what it printed.
Output Run(const std::vector<std::string>& args) {
  Output out;
  std::vector<char*> argv;
  for (const auto& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0)
    return out;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(pipeEnds[1], 1);
    close(pipeEnds[0]);
    close(pipeEnds[1]);
    if (FILE* const null = fopen("/dev/null", "w"))
      dup2(fileno(null), 2);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipeEnds[1]);
  if (pid < 0) {
    close(pipeEnds[0]);
    return out;
  }
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipeEnds[0], buffer, sizeof buffer)) > 0)
    out.text.append(buffer, static_cast<size_t>(n));
  close(pipeEnds[0]);
  int status = 0;
  if (waitpid(pid, &status, 0) < 0)
    return out;
  out.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  out.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return out;
}

long long FileSize(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 ? static_cast<long long>(st.st_size) : -1;
}

// ----- Quillet's builds

struct Build {
  std::string name;     // as printed
  std::string exe;      // its bench_convert
  bool windows = false; // run with the Wine loader, paths in Windows form
  bool i686 = false;
  long long baselineKb = -1;
  int against = -1; // the build of another version it is compared with
};

struct Measure {
  bool ok = false;
  double seconds = 0;
  long long peakKb = 0;
  long long bytes = -1;
};

std::string ChildPath(const Build& build, const std::string& path) {
  if (!build.windows)
    return path;
  std::string p = "Z:" + path;
  for (char& c : p)
    if (c == '/')
      c = '\\';
  return p;
}

std::vector<std::string> Command(const Build& build, const std::string& wine,
                                 const std::vector<std::string>& args) {
  std::vector<std::string> command;
  if (build.windows)
    command.push_back(wine);
  command.push_back(build.exe);
  command.insert(command.end(), args.begin(), args.end());
  return command;
}

// "RESULT SECONDS PEAK_KB" from bench_convert.
bool ParseChild(const Output& o, int* result, double* seconds, long long* peakKb) {
  return o.status == 0 && sscanf(o.text.c_str(), "%d %lf %lld", result, seconds, peakKb) == 3;
}

// The least peak of n runs of the program doing nothing.
long long Baseline(const Build& build, const std::string& wine, int n) {
  long long least = -1;
  for (int i = 0; i < n; ++i) {
    int result = 0;
    double seconds = 0;
    long long kb = -1;
    if (ParseChild(Run(Command(build, wine, {"--noop"})), &result, &seconds, &kb) && kb > 0 &&
        (least < 0 || kb < least))
      least = kb;
  }
  return least;
}

// One conversion, writing its target anew (replacing a file waits for the disk, a first
// conversion does not), kept in best when it is the fastest so far; false when it failed.
bool OursOnce(const Build& build, const std::string& wine, const std::string& source,
              const std::string& target, int from, int to, Measure* best) {
  std::remove(target.c_str());
  const Output o =
      Run(Command(build, wine,
                  {ChildPath(build, source), ChildPath(build, target), std::to_string(from),
                   std::to_string(to), std::to_string(kQuality)}));
  int result = -1;
  double seconds = 0;
  long long kb = -1;
  if (!ParseChild(o, &result, &seconds, &kb) || result != 0)
    return false;
  if (!best->ok || seconds < best->seconds) {
    best->ok = true;
    best->seconds = seconds;
    best->peakKb = kb;
  }
  best->bytes = FileSize(target);
  return true;
}

// ----- the peers, run natively

struct Peer {
  std::string name;
  std::vector<std::string> (*command)(const std::string& program, const std::string& source,
                                      const std::string& target, int to);
  std::string program;
  bool present = false;
};

std::vector<std::string> MagickCommand(const std::string& program, const std::string& source,
                                       const std::string& target, int to) {
  // ImageMagick's convert, or GraphicsMagick's "gm convert".
  std::vector<std::string> c = {program};
  if (program.size() >= 2 && program.compare(program.size() - 2, 2, "gm") == 0)
    c.push_back("convert");
  c.push_back(source);
  if (to == kImageJpeg)
    c.insert(c.end(), {"-quality", std::to_string(kQuality)}); // 4:2:0 below quality 90
  if (to == kImagePng)
    c.insert(c.end(), {"-quality", "95"}); // zlib 9, adaptive filters
  c.push_back((to == kImageBmp ? "BMP3:" : "") + target);
  return c;
}

std::vector<std::string> VipsCommand(const std::string& program, const std::string& source,
                                     const std::string& target, int to) {
  std::string out = target;
  if (to == kImageJpeg)
    out += "[Q=" + std::to_string(kQuality) + "]"; // 4:2:0 below quality 90
  if (to == kImagePng)
    out += "[compression=9,filter=all]";
  return {program, "copy", source, out};
}

struct PeerMeasure {
  bool ok = false;
  double seconds = 0; // start-up subtracted
  double startup = 0;
  bool startupOnTwo = false; // measured on 2 x 2: the peer refuses the 1 x 1 source
  long long bytes = -1;
};

// Seconds of one run of command that writes target; false when it failed.
bool TimeOnce(const std::vector<std::string>& command, const std::string& target, double* seconds) {
  std::remove(target.c_str());
  const Output o = Run(command);
  *seconds = o.seconds;
  return o.status == 0 && FileSize(target) > 0;
}

// A peer's fastest start-up and fastest whole conversion so far.
struct PeerRuns {
  bool ok = true;
  bool startupOnTwo = false; // measured on 2 x 2: the peer refuses the 1 x 1 source
  int runs = 0;
  double startup = 0;
  double whole = 0;
  long long bytes = -1; // of the last whole conversion's file
};

// One run of the peer: its start-up, then the whole picture.
void TheirsOnce(const Peer& peer, const std::string& dir, int from, int to, PeerRuns* r) {
  if (!peer.present || !r->ok)
    return;
  const std::string tag = peer.name + "-from-" + kTypeName[from];
  const std::string tinyTarget = dir + "/tiny-" + tag + kExt[to];
  const std::string target = dir + "/" + tag + kExt[to];
  double startup = 0, whole = 0;
  bool ok = false;
  if (!r->startupOnTwo)
    ok = TimeOnce(peer.command(peer.program, dir + "/tiny" + kExt[from], tinyTarget, to),
                  tinyTarget, &startup);
  if (!ok && r->runs == 0) // GraphicsMagick reads no BMP of one row or one column
    r->startupOnTwo = true;
  if (r->startupOnTwo)
    ok = TimeOnce(peer.command(peer.program, dir + "/small" + kExt[from], tinyTarget, to),
                  tinyTarget, &startup);
  ok = ok && TimeOnce(peer.command(peer.program, dir + "/source" + kExt[from], target, to), target,
                      &whole);
  if (!ok) {
    r->ok = false;
    return;
  }
  if (r->runs == 0 || startup < r->startup)
    r->startup = startup;
  if (r->runs == 0 || whole < r->whole)
    r->whole = whole;
  r->bytes = FileSize(target);
  ++r->runs;
}

PeerMeasure Theirs(const Peer& peer, const PeerRuns& r) {
  PeerMeasure m;
  if (!peer.present || !r.ok || r.runs == 0)
    return m;
  m.ok = true;
  m.startup = r.startup;
  m.startupOnTwo = r.startupOnTwo;
  m.seconds = r.whole > r.startup ? r.whole - r.startup : 0;
  m.bytes = r.bytes;
  return m;
}

bool Works(const std::vector<std::string>& command) { return Run(command).status == 0; }

// ----- limits

double ImageMagickLimit(int from, int to, bool i686) {
  if (to == kImagePng)
    return i686 ? 0.15 : 0.12;
  if (to == kImageBmp)
    return 0.30;
  return from == kImagePng ? 0.30 : 0.25;
}

double VipsLimit(int from, int to) { return from == kImagePng && to == kImageJpeg ? 0.8 : 0; }

double MemoryLimit(int to) { return to == kImagePng ? 2.0 : 1.1; }

int Usage() {
  fprintf(stderr, "usage: image_bench [--runs N] [--dir FOLDER] [--keep] [--only FROM->TO,...]\n"
                  "                   [--native EXE] [--wine LOADER] [--win64 EXE] [--win32 EXE]\n"
                  "                   [--no-win32 REASON] [--win32-emulated HOW]\n"
                  "                   [--against-win64 EXE] [--against-native EXE]\n");
  return 2;
}

std::string Beside(const char* argv0, const char* name) {
  std::error_code ec;
  std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec)
    self = std::filesystem::absolute(argv0);
  return (self.parent_path() / name).string();
}

std::string Ratio(double ours, const PeerMeasure& theirs) {
  char text[32];
  if (!theirs.ok || theirs.seconds <= 0)
    return "-";
  snprintf(text, sizeof text, "%.3f", ours / theirs.seconds);
  return text;
}

std::string SizeAgainst(long long ours, long long theirs) {
  char text[32];
  if (ours <= 0 || theirs <= 0)
    return "-";
  snprintf(text, sizeof text, "%+.1f%%", 100.0 * (static_cast<double>(ours) / theirs - 1));
  return text;
}

} // namespace

int main(int argc, char** argv) {
  int runs = 3;
  bool keep = false;
  std::string only;
  std::string dir =
      (std::filesystem::temp_directory_path() / ("quillet-bench-" + std::to_string(getpid())))
          .string();
  std::string wine = "/usr/lib/wine/wine64";
  std::string nativeExe = Beside(argv[0], "bench_convert");
  std::string win64Exe, win32Exe, noWin32, win32Emulated, againstWin64, againstNative;
  for (int i = 1; i < argc; ++i) {
    const bool value = i + 1 < argc;
    if (strcmp(argv[i], "--runs") == 0 && value)
      runs = atoi(argv[++i]);
    else if (strcmp(argv[i], "--dir") == 0 && value)
      dir = argv[++i];
    else if (strcmp(argv[i], "--keep") == 0)
      keep = true;
    else if (strcmp(argv[i], "--only") == 0 && value)
      only = "," + std::string(argv[++i]) + ",";
    else if (strcmp(argv[i], "--native") == 0 && value)
      nativeExe = argv[++i];
    else if (strcmp(argv[i], "--wine") == 0 && value)
      wine = argv[++i];
    else if (strcmp(argv[i], "--win64") == 0 && value)
      win64Exe = argv[++i];
    else if (strcmp(argv[i], "--win32") == 0 && value)
      win32Exe = argv[++i];
    else if (strcmp(argv[i], "--no-win32") == 0 && value)
      noWin32 = argv[++i];
    else if (strcmp(argv[i], "--win32-emulated") == 0 && value)
      win32Emulated = argv[++i];
    else if (strcmp(argv[i], "--against-win64") == 0 && value)
      againstWin64 = argv[++i];
    else if (strcmp(argv[i], "--against-native") == 0 && value)
      againstNative = argv[++i];
    else
      return Usage();
  }
  if (runs < 1)
    return Usage();
  dir = std::filesystem::absolute(dir).string();

  // ImageMagick's own program, not a wrapper of the same name earlier on the path.
  Peer im = {"ImageMagick", MagickCommand,
             std::filesystem::exists("/usr/bin/convert") ? "/usr/bin/convert" : "convert"};
  Peer gm = {"GraphicsMagick", MagickCommand, "gm"};
  Peer vips = {"libvips", VipsCommand, "vips"};
  im.present = Works({im.program, "-version"});
  gm.present = Works({gm.program, "version"});
  vips.present = Works({vips.program, "--version"});
  if (!im.present) {
    fprintf(stderr, "ImageMagick's convert is needed for the comparison\n");
    return 1;
  }

  std::vector<Build> builds;
  if (!win32Exe.empty())
    builds.push_back({"i686 (release) under wine32", win32Exe, true, true});
  if (!win64Exe.empty())
    builds.push_back({"x86_64 under wine64", win64Exe, true, false});
  builds.push_back({"native (reference)", nativeExe, false, false});
  // The first build listed, unless that is an emulated i686 one, whose times say little of
  // a Windows machine's.
  const size_t limited = !win32Exe.empty() && !win32Emulated.empty() && builds.size() > 2 ? 1 : 0;
  // Another version's builds come last, each compared with ours of the same kind.
  for (size_t b = 0, ours = builds.size(); b < ours; ++b) {
    const std::string& other = builds[b].windows ? againstWin64 : againstNative;
    if (other.empty() || builds[b].i686)
      continue;
    builds[b].against = static_cast<int>(builds.size());
    builds.push_back({builds[b].name + ", the other version", other, builds[b].windows, false});
  }

  std::filesystem::create_directories(dir);
  printf("Quillet image benchmark: %d x %d photo-like picture, best of %d run(s) each\n", kWidth,
         kHeight, runs);
  printf("working folder %s\n", dir.c_str());
  if (!noWin32.empty())
    printf("the i686 build is not run: %s\n", noWin32.c_str());
  if (!win32Emulated.empty())
    printf("the i686 build runs emulated (%s): timed as a reference\n", win32Emulated.c_str());
  for (const Peer* p : {&gm, &vips})
    if (!p->present)
      printf("%s is not installed: its column stays empty\n", p->name.c_str());
  printf("limits apply to the %s build\n", builds[limited].name.c_str());
  fflush(stdout);
  if (Run({nativeExe, "--make-sources", dir, std::to_string(kWidth), std::to_string(kHeight)})
          .status != 0) {
    fprintf(stderr, "writing the sources with %s failed\n", nativeExe.c_str());
    return 1;
  }
  const double block = static_cast<double>(kWidth) * kHeight * 4; // width x height x 4

  struct Direction {
    int from, to;
    std::string name;
    PeerMeasure peers[3];      // ImageMagick, GraphicsMagick, libvips
    std::vector<Measure> ours; // per build
  };
  std::vector<Direction> directions;
  for (int from = 0; from < 3; ++from)
    for (int to = 0; to < 3; ++to) {
      const std::string name = std::string(kTypeName[from]) + "->" + kTypeName[to];
      if (from != to && (only.empty() || only.find("," + name + ",") != std::string::npos))
        directions.push_back({from, to, name, {}, {}});
    }

  for (Build& build : builds)
    build.baselineKb = Baseline(build, wine, runs);
  const auto target = [&dir](size_t b, const Direction& d) {
    return dir + "/ours-" + std::to_string(b) + "-from-" + kTypeName[d.from] + kExt[d.to];
  };

  // Each run of a direction times every peer and every build once, in turn, so that a machine
  // whose speed drifts (a virtual machine's host, say) tilts none of them against the others.
  printf("\npeers, run natively; s = best time less the start-up (best on a 1 x 1 picture)\n");
  printf("%-10s %8s %8s %11s  %8s %8s %11s  %8s %8s %11s\n", "direction", "IM s", "start",
         "IM bytes", "GM s", "start", "GM bytes", "vips s", "start", "vips bytes");
  int failures = 0;
  for (Direction& d : directions) {
    const Peer* peers[3] = {&im, &gm, &vips};
    PeerRuns peerRuns[3];
    const std::string source = dir + "/source" + kExt[d.from];
    d.ours.assign(builds.size(), Measure());
    std::vector<bool> failed(builds.size(), false);
    for (int i = 0; i < runs; ++i) {
      for (int p = 0; p < 3; ++p)
        TheirsOnce(*peers[p], dir, d.from, d.to, &peerRuns[p]);
      for (size_t b = 0; b < builds.size(); ++b)
        if (!failed[b] && builds[b].baselineKb > 0)
          failed[b] = !OursOnce(builds[b], wine, source, target(b, d), d.from, d.to, &d.ours[b]);
    }
    for (size_t b = 0; b < builds.size(); ++b)
      if (failed[b])
        d.ours[b].ok = false;
    printf("%-10s", d.name.c_str());
    for (int p = 0; p < 3; ++p) {
      d.peers[p] = Theirs(*peers[p], peerRuns[p]);
      if (d.peers[p].ok)
        printf(" %8.3f %7.3f%s %11lld ", d.peers[p].seconds, d.peers[p].startup,
               d.peers[p].startupOnTwo ? "*" : " ", d.peers[p].bytes);
      else
        printf(" %8s %8s %11s ", "-", "-", "-");
    }
    printf("\n");
    fflush(stdout);
    if (!d.peers[0].ok) {
      printf("ImageMagick failed %s\n", d.name.c_str());
      ++failures;
    }
  }

  for (const Direction& d : directions)
    if (d.peers[1].startupOnTwo || d.peers[0].startupOnTwo || d.peers[2].startupOnTwo) {
      printf("* start-up measured on a 2 x 2 picture: the tool refuses the 1 x 1 one\n");
      break;
    }

  int misses = 0;
  for (size_t b = 0; b < builds.size(); ++b) {
    Build& build = builds[b];
    const bool limits = b == limited;
    printf("\n%s: ConvertImage timed inside the process; peak less %.1f MB (the program idle)\n",
           build.name.c_str(), build.baselineKb / 1024.0 * 1.024);
    printf("%-10s %7s %6s %5s %6s %5s  %7s %6s %5s  %10s %7s %5s%s\n", "direction", "ours s", "/IM",
           "limit", "/vips", "limit", "MB", "/whx4", "limit", "ours bytes", "vs IM", "limit",
           limits ? "" : "   (reference)");
    fflush(stdout);
    if (build.baselineKb <= 0) {
      printf("%s does not run\n", build.exe.c_str());
      ++failures;
      continue;
    }
    for (const Direction& d : directions) {
      const Measure& m = d.ours[b];
      if (!m.ok) {
        printf("%-10s failed\n", d.name.c_str());
        ++failures;
        continue;
      }
      const PeerMeasure& magick = d.peers[0];
      const PeerMeasure& lv = d.peers[2];
      const double imLimit = ImageMagickLimit(d.from, d.to, build.i686);
      const double vipsLimit = VipsLimit(d.from, d.to);
      const double peak = static_cast<double>(m.peakKb - build.baselineKb) * 1024.0;
      const bool sized = d.to != kImageBmp; // PNG and JPEG files: no larger than ImageMagick's
      const bool timeOk = magick.ok && magick.seconds > 0 && m.seconds / magick.seconds <= imLimit;
      const bool vipsOk =
          vipsLimit == 0 || (lv.ok && lv.seconds > 0 && m.seconds / lv.seconds <= vipsLimit);
      const bool memoryOk = peak / block <= MemoryLimit(d.to);
      const bool sizeOk = !sized || (magick.bytes > 0 && m.bytes <= magick.bytes);
      std::string verdict;
      if (limits) {
        verdict = timeOk && vipsOk && memoryOk && sizeOk ? "ok" : "MISS:";
        if (!timeOk)
          verdict += " time";
        if (!vipsOk)
          verdict += " vips";
        if (!memoryOk)
          verdict += " memory";
        if (!sizeOk)
          verdict += " size";
        if (verdict != "ok")
          ++misses;
      }
      char vipsLimitText[16] = "-";
      if (vipsLimit > 0)
        snprintf(vipsLimitText, sizeof vipsLimitText, "%.2f", vipsLimit);
      printf("%-10s %7.3f %6s %5.2f %6s %5s  %7.1f %6.2f %5.2f  %10lld %7s %5s  %s\n",
             d.name.c_str(), m.seconds, Ratio(m.seconds, magick).c_str(), imLimit,
             Ratio(m.seconds, lv).c_str(), vipsLimitText, peak / 1e6, peak / block,
             MemoryLimit(d.to), m.bytes, SizeAgainst(m.bytes, magick.bytes).c_str(),
             sized ? "<=0%" : "-", verdict.c_str());
      fflush(stdout);
    }
  }
  printf("\n/IM, /vips = our time / the peer's (start-up subtracted); /whx4 = our peak memory / "
         "(width x height x 4); vs IM = our file against ImageMagick's.\n");
  for (const Build& build : builds) {
    if (build.against < 0)
      continue;
    printf("\n%s against the other version's, timed in turn\n", build.name.c_str());
    printf("%-10s %7s %8s %7s\n", "direction", "ours s", "other s", "ratio");
    for (const Direction& d : directions) {
      const Measure& ours = d.ours[&build - &builds[0]];
      const Measure& other = d.ours[static_cast<size_t>(build.against)];
      if (ours.ok && other.ok && other.seconds > 0)
        printf("%-10s %7.3f %8.3f %7.3f\n", d.name.c_str(), ours.seconds, other.seconds,
               ours.seconds / other.seconds);
    }
  }
  if (!keep)
    std::filesystem::remove_all(dir);
  if (failures > 0)
    return 1;
  return misses == 0 ? 0 : 3;
}
