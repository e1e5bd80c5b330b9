// Peak memory of opening an animation. A document should cost about one byte per pixel per
// frame; the goal for opening is a peak of at most 1.3 bytes per pixel plus 32 MiB.
//
// The parent draws each input, writes it to a temporary file and releases it, then starts a
// fresh copy of this program to open the file, so the peak measured is the reader's alone and
// not the drawing's. The child takes its peak resident size before reading as the baseline
// and reports the growth of the peak over it. The peak is the address space's high-water mark
// (VmHWM): getrusage's ru_maxrss would not do, as Linux carries it over from the parent
// through fork and exec.
//
//   bench_open_memory                   the standard inputs
//   bench_open_memory NAME|WxHxN ...    chosen ones (WxHxN: a video clip of that size)
//   bench_open_memory --read FILE       (internal) open one file and print its line
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "samples/sample_drawings.h"

extern char** environ;

namespace {

constexpr double kMiB = 1024.0 * 1024.0;
constexpr int kExitGoalMissed = 3;

// The peak resident size of this address space so far, in bytes; 0 when unknown.
double PeakRssBytes() {
  std::FILE* status = std::fopen("/proc/self/status", "r");
  if (!status) return 0;
  char line[256];
  double kib = 0;
  while (std::fgets(line, sizeof line, status))
    if (std::sscanf(line, "VmHWM: %lf kB", &kib) == 1) break;
  std::fclose(status);
  return kib * 1024.0;
}

int64_t Pixels(const fw::AnimHeader& doc) {
  int64_t n = 0;
  for (const fw::ImageBlock* f = fw::FirstImage(&doc); f; f = fw::NextImage(f)) n += int64_t{f->width} * f->height;
  return n;
}

int ReadOne(const char* label, const char* path) {
  const double baseline = PeakRssBytes();
  fw::ReadResult r = fw::ReadGifPath(path);
  const double peak = PeakRssBytes();
  if (r.status != fw::kReadComplete) {
    std::fprintf(stderr, "bench_open_memory: %s was not read completely (status %d)\n", path, r.status);
    return 1;
  }
  const int64_t pixels = Pixels(*r.document);
  const double delta = peak - baseline;
  const double goal = 1.3 * static_cast<double>(pixels) + 32 * kMiB;
  const bool met = delta <= goal;
  std::printf("%-22s %6d %12lld %9.1f %9.1f %9.1f %9.1f %8.3f %9.1f  %s\n", label, r.document->frameCount,
              static_cast<long long>(pixels), static_cast<double>(pixels) / kMiB, baseline / kMiB, peak / kMiB,
              delta / kMiB, delta / static_cast<double>(pixels), goal / kMiB, met ? "yes" : "NO");
  std::fflush(stdout);
  return met ? 0 : kExitGoalMissed;
}

fw::AnimPtr Draw(const std::string& name) {
  if (name == "video_clip") return fw::samples::VideoClip(640, 480, 200);
  if (name == "screen_capture") return fw::samples::ScreenCapture(1920, 1080, 20);
  if (name == "sprite") return fw::samples::Sprite(100, 100, 50);
  if (name == "long_capture") return fw::samples::ScreenCapture(1920, 1080, 100);
  int w = 0, h = 0, n = 0;
  char tail = 0;
  if (std::sscanf(name.c_str(), "%dx%dx%d%c", &w, &h, &n, &tail) == 3 && w > 0 && h > 0 && n > 0 && w <= 65535 &&
      h <= 65535)
    return fw::samples::VideoClip(w, h, n);
  return nullptr;
}

// Writes the input to a temporary file and opens it in a fresh process. Returns that
// process's exit status.
int Measure(const std::string& name) {
  std::string path;
  {
    fw::AnimPtr doc = Draw(name);
    if (!doc) {
      std::fprintf(stderr, "bench_open_memory: unknown input %s\n", name.c_str());
      return 1;
    }
    const char* tmp = std::getenv("TMPDIR");
    path = std::string(tmp && *tmp ? tmp : "/tmp") + "/fw-open-memory-XXXXXX";
    const int fd = mkstemp(path.data());
    if (fd < 0) {
      std::perror("bench_open_memory: mkstemp");
      return 1;
    }
    close(fd);
    if (fw::WriteGifFile(path, *doc, nullptr) != 1) {
      std::fprintf(stderr, "bench_open_memory: could not write %s\n", path.c_str());
      unlink(path.c_str());
      return 1;
    }
  }  // the drawing is gone before the child starts; it runs in its own address space anyway

  std::string self = "/proc/self/exe", flag = "--read", label = name;
  char* argv[] = {self.data(), flag.data(), path.data(), label.data(), nullptr};
  std::fflush(stdout);
  pid_t pid = 0;
  int status = 0;
  if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, environ) != 0 || waitpid(pid, &status, 0) != pid) {
    std::perror("bench_open_memory: spawn");
    status = 1 << 8;
  }
  unlink(path.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--read") == 0) return ReadOne(argc >= 4 ? argv[3] : argv[2], argv[2]);

  std::vector<std::string> names;
  for (int i = 1; i < argc; ++i) names.emplace_back(argv[i]);
  if (names.empty()) names = {"video_clip", "screen_capture", "sprite", "long_capture"};

  std::printf("%-22s %6s %12s %9s %9s %9s %9s %8s %9s  %s\n", "input", "frames", "pixels", "px_MiB", "base_MiB",
              "peak_MiB", "delta_MiB", "delta/px", "goal_MiB", "met");
  int worst = 0;
  for (const std::string& name : names) {
    const int rc = Measure(name);
    if (rc == 1 || (rc != 0 && worst == 0)) worst = rc;
  }
  return worst;
}
