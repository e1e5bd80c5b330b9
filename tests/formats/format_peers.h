#pragma once
// Helpers for the format tests: peer decoders run as programs (Pillow, FFmpeg), our frames as
// RGBA pictures, an APNG compositor following the APNG rules, and hand-built PNG streams.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/anim_document.h"
#include "core/compositor.h"
#include "core/frame_planes.h"
#include "formats/apng_chunks.h"

namespace fw::test {

struct Rgba {
  int width = 0, height = 0;
  std::vector<uint8_t> px;  // 4 bytes per pixel, rows without padding
  Rgba() = default;
  Rgba(int w, int h) : width(w), height(h), px(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0) {}
  uint8_t* at(int x, int y) { return &px[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4]; }
  const uint8_t* at(int x, int y) const {
    return &px[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
  }
};

// Runs a program and returns what it wrote on standard output (standard error is dropped).
inline bool RunCapture(const std::vector<std::string>& args, std::string& out) {
  int fds[2];
  if (::pipe(fds) != 0) return false;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    const int null = ::open("/dev/null", O_WRONLY);
    if (null >= 0) ::dup2(null, 2);
    ::close(fds[0]);
    ::close(fds[1]);
    std::vector<char*> argv;
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    _exit(127);
  }
  ::close(fds[1]);
  char buffer[65536];
  ssize_t n;
  while ((n = ::read(fds[0], buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  ::close(fds[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Pictures a peer script wrote one after another as width, height (32-bit, little-endian)
// and RGBA bytes; a cut last picture is dropped.
inline std::vector<Rgba> SizedRgbaFrames(const std::string& out) {
  std::vector<Rgba> frames;
  size_t at = 0;
  while (out.size() - at >= 8) {
    int w = 0, h = 0;
    std::memcpy(&w, out.data() + at, 4);
    std::memcpy(&h, out.data() + at + 4, 4);
    at += 8;
    Rgba f(w, h);
    if (out.size() - at < f.px.size()) break;
    std::memcpy(f.px.data(), out.data() + at, f.px.size());
    at += f.px.size();
    frames.push_back(std::move(f));
  }
  return frames;
}

inline bool HavePillow() {
  std::string out;
  return ::access("/usr/bin/python3", X_OK) == 0 && RunCapture({"/usr/bin/python3", "-c", "import PIL"}, out);
}

// Every frame Pillow shows for each file, as RGBA (APNG frames composited by Pillow; 16-bit
// grey scaled to 8 bits), with the durations in milliseconds it reports. A file Pillow cannot
// read gives no frames. One Python process serves the whole list.
inline std::vector<std::vector<Rgba>> PillowDecodeAll(const std::vector<std::string>& paths, bool firstOnly,
                                                      std::vector<std::vector<int>>* durations = nullptr) {
  static const char* kScript = R"(
import sys, struct
from PIL import Image
out = sys.stdout.buffer
first_only = sys.argv[1] == '1'
for path in sys.argv[2:]:
    try:
        im = Image.open(path)
        n = 1 if first_only else getattr(im, 'n_frames', 1)
        frames = []
        for i in range(n):
            im.seek(i)
            f = im
            if f.mode in ('I', 'I;16', 'I;16B', 'I;16L'):
                f = f.point(lambda v: v / 257.0, 'F').convert('L')
            f = f.convert('RGBA')
            frames.append((f.width, f.height, int(im.info.get('duration', 0) or 0), f.tobytes()))
    except Exception:
        out.write(struct.pack('<i', -1))
        continue
    out.write(struct.pack('<i', len(frames)))
    for w, h, d, data in frames:
        out.write(struct.pack('<iii', w, h, d))
        out.write(data)
)";
  std::vector<std::string> args = {"/usr/bin/python3", "-c", kScript, firstOnly ? "1" : "0"};
  args.insert(args.end(), paths.begin(), paths.end());
  std::string out;
  std::vector<std::vector<Rgba>> all(paths.size());
  if (durations) durations->assign(paths.size(), {});
  RunCapture(args, out);
  size_t at = 0;
  auto next = [&](int& v) {
    if (out.size() - at < 4) return false;
    std::memcpy(&v, out.data() + at, 4);
    at += 4;
    return true;
  };
  for (size_t p = 0; p < paths.size(); ++p) {
    int n = 0;
    if (!next(n)) break;
    for (int i = 0; i < n; ++i) {
      int w = 0, h = 0, d = 0;
      if (!next(w) || !next(h) || !next(d)) return all;
      Rgba f(w, h);
      if (out.size() - at < f.px.size()) return all;
      std::memcpy(f.px.data(), out.data() + at, f.px.size());
      at += f.px.size();
      all[p].push_back(std::move(f));
      if (durations) (*durations)[p].push_back(d);
    }
  }
  return all;
}

inline std::vector<Rgba> PillowFrames(const std::string& path, std::vector<int>* durations = nullptr) {
  std::vector<std::vector<int>> d;
  std::vector<std::vector<Rgba>> all = PillowDecodeAll({path}, false, durations ? &d : nullptr);
  if (durations && !d.empty()) *durations = d[0];
  return all.empty() ? std::vector<Rgba>{} : all[0];
}

inline bool HaveFfmpeg() {
  std::string out;
  return RunCapture({"ffmpeg", "-version"}, out) && RunCapture({"ffprobe", "-version"}, out);
}

// FFmpeg's decoding of an animation of the given canvas size, one picture per frame.
inline std::vector<Rgba> FfmpegFrames(const std::string& path, int width, int height) {
  std::string out;
  std::vector<Rgba> frames;
  if (!RunCapture({"ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgba", "-fps_mode",
                   "passthrough", "-"},
                  out))
    return frames;
  const size_t frameBytes = static_cast<size_t>(width) * static_cast<size_t>(height) * 4;
  for (size_t at = 0; frameBytes && at + frameBytes <= out.size(); at += frameBytes) {
    Rgba f(width, height);
    std::memcpy(f.px.data(), out.data() + at, frameBytes);
    frames.push_back(std::move(f));
  }
  return frames;
}

// Packet durations FFmpeg reads from the file, in milliseconds.
inline std::vector<int> FfmpegDurationsMs(const std::string& path) {
  std::string out;
  std::vector<int> durations;
  if (!RunCapture({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "packet=duration_time", "-of",
                   "csv=p=0", path},
                  out))
    return durations;
  size_t at = 0;
  while (at < out.size()) {
    const size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
    if (!line.empty()) durations.push_back(static_cast<int>(std::stod(line) * 1000 + 0.5));
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return durations;
}

// A frame's own pixels as RGBA: true colour with its alpha, or the indexes through the palette
// in effect with the transparent index clear.
inline Rgba FrameRgba(const ImageBlock& frame) {
  const int w = PlaneWidth(frame), h = PlaneHeight(frame);
  Rgba out(w, h);
  const uint8_t* colour = TrueColourRows(frame);
  const uint8_t* alpha = AlphaRows(frame);
  uint32_t entries[256];
  PaletteEntries(frame, entries);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      uint8_t* p = out.at(x, y);
      if (colour) {
        const uint8_t* c = colour + static_cast<size_t>(y) * Stride24(w) + 3 * static_cast<size_t>(x);
        p[0] = c[2];
        p[1] = c[1];
        p[2] = c[0];
        p[3] = alpha ? alpha[static_cast<size_t>(y) * Stride8(w) + static_cast<size_t>(x)] : 255;
      } else {
        const uint8_t index = frame.indexedImage->row(y)[x];
        const uint32_t e = entries[index];
        p[0] = static_cast<uint8_t>(e >> 16);
        p[1] = static_cast<uint8_t>(e >> 8);
        p[2] = static_cast<uint8_t>(e);
        p[3] = frame.transparent() && index == frame.transparentIndex ? 0 : 255;
      }
    }
  }
  return out;
}

// What an APNG player shows for each frame of our document, by the APNG rules our writer maps
// the frames to (disposal 2 background, 3 previous; blend over for frames with alpha or a
// transparent index).
// With `blendAll`, a set blend flag draws every frame over the canvas, as a file read in says.
inline std::vector<Rgba> ApngExpected(const AnimHeader& doc, bool skipHidden, bool blendAll = false) {
  std::vector<Rgba> shown;
  Rgba canvas(doc.screenWidth, doc.screenHeight);
  int index = 0;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f), ++index) {
    if (index == 0 && doc.hideFirstFrame && skipHidden) continue;
    const Rgba picture = FrameRgba(*f);
    const Rgba saved = canvas;
    const bool over = f->blend && (blendAll || AlphaRows(*f) || (!TrueColourRows(*f) && f->transparent()));
    for (int y = 0; y < picture.height; ++y) {
      for (int x = 0; x < picture.width; ++x) {
        const int cx = f->left + x, cy = f->top + y;
        if (cx < 0 || cy < 0 || cx >= canvas.width || cy >= canvas.height) continue;
        uint8_t* d = canvas.at(cx, cy);
        const uint8_t* s = picture.at(x, y);
        if (!over || s[3] == 255) {
          std::memcpy(d, s, 4);
        } else if (s[3] != 0) {
          const int sa = s[3], da = d[3];
          const int outA = sa + da * (255 - sa) / 255;
          for (int c = 0; c < 3; ++c) d[c] = static_cast<uint8_t>((s[c] * sa + d[c] * da * (255 - sa) / 255) / outA);
          d[3] = static_cast<uint8_t>(outA);
        }
      }
    }
    shown.push_back(canvas);
    if (f->disposal() == kDisposalBackground) {
      for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x) {
          const int cx = f->left + x, cy = f->top + y;
          if (cx >= 0 && cy >= 0 && cx < canvas.width && cy < canvas.height) std::memset(canvas.at(cx, cy), 0, 4);
        }
    } else if (f->disposal() == kDisposalPrevious) {
      canvas = saved;
    }
  }
  return shown;
}

// Largest difference of any channel; a fully transparent pixel's colour does not count.
inline int MaxDifference(const Rgba& a, const Rgba& b) {
  if (a.width != b.width || a.height != b.height) return 1000;
  int worst = 0;
  for (size_t i = 0; i < a.px.size(); i += 4) {
    if (a.px[i + 3] == 0 && b.px[i + 3] == 0) continue;
    for (int c = 0; c < 4; ++c) worst = std::max(worst, std::abs(int{a.px[i + c]} - int{b.px[i + c]}));
  }
  return worst;
}

// apngdis's frames of an APNG (each a whole canvas), read back through Pillow; empty when
// apngdis is not installed. It numbers its files with as many digits as the count needs.
inline std::vector<Rgba> ApngdisFrames(const std::string& path, const std::string& workDir) {
  std::string out;
  const std::string copy = workDir + "/apngdis_input.png";
  if (!RunCapture({"cp", path, copy}, out) || !RunCapture({"apngdis", copy, "apngdis_frame"}, out)) return {};
  std::vector<std::pair<int, std::string>> numbered;
  for (const auto& entry : std::filesystem::directory_iterator(workDir)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("apngdis_frame", 0) != 0 || name.size() < 18 || name.substr(name.size() - 4) != ".png") continue;
    numbered.push_back({std::stoi(name.substr(13, name.size() - 17)), entry.path().string()});
  }
  std::sort(numbered.begin(), numbered.end());
  std::vector<std::string> names;
  for (const auto& n : numbered) names.push_back(n.second);
  std::vector<std::vector<Rgba>> all = PillowDecodeAll(names, true);
  std::vector<Rgba> frames;
  for (auto& one : all)
    if (!one.empty()) frames.push_back(std::move(one[0]));
  for (const auto& n : numbered) std::filesystem::remove(n.second);
  return frames;
}

// What our compositor shows for each frame, as RGBA: its true-colour canvas with the
// coverage as alpha (uncovered pixels clear).
inline std::vector<Rgba> CompositorPictures(const AnimHeader& doc) {
  std::vector<Rgba> pictures;
  Compositor compositor(doc, true);
  for (const ImageBlock* canvas = compositor.first(); canvas; canvas = compositor.next()) {
    Rgba p(doc.screenWidth, doc.screenHeight);
    const int planeWidth = canvas->indexedImage->width;
    for (int y = 0; y < p.height; ++y)
      for (int x = 0; x < p.width; ++x) {
        const uint8_t* c = canvas->trueColour.data() + static_cast<size_t>(y) * Stride24(planeWidth) + 3 * static_cast<size_t>(x);
        const uint8_t a = canvas->alpha[static_cast<size_t>(y) * Stride8(planeWidth) + static_cast<size_t>(x)];
        uint8_t* d = p.at(x, y);
        d[0] = c[2];
        d[1] = c[1];
        d[2] = c[0];
        d[3] = a;
      }
    pictures.push_back(std::move(p));
  }
  return pictures;
}

inline bool HaveApngdis() { return ::access("/usr/bin/apngdis", X_OK) == 0; }

// --- hand-built PNG streams ---
inline std::vector<uint8_t> Be(uint32_t v) {
  return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}
inline std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}
inline std::vector<uint8_t> Chunk(const char (&type)[5], const std::vector<uint8_t>& data) {
  std::vector<uint8_t> out;
  AppendPngChunk(out, ChunkType(type), data.data(), data.size());
  return out;
}
inline std::vector<uint8_t> Signature() { return {kPngSignature, kPngSignature + 8}; }
inline std::vector<uint8_t> Ihdr(uint32_t w, uint32_t h, uint8_t depth, uint8_t type) {
  return Chunk("IHDR", Cat({Be(w), Be(h), {depth, type, 0, 0, 0}}));
}
// Zlib data of rows with filter 0; `rowBytes` bytes per row from fill(x, y) for each byte.
template <typename Fill>
std::vector<uint8_t> ImageData(int rowBytes, int height, Fill fill) {
  std::vector<uint8_t> raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);
    for (int x = 0; x < rowBytes; ++x) raw.push_back(static_cast<uint8_t>(fill(x, y)));
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> out(size);
  compress(out.data(), &size, raw.data(), static_cast<uLong>(raw.size()));
  out.resize(size);
  return out;
}
inline std::vector<uint8_t> Actl(uint32_t frames, uint32_t plays) { return Chunk("acTL", Cat({Be(frames), Be(plays)})); }
inline std::vector<uint8_t> Fctl(uint32_t seq, uint32_t w, uint32_t h, uint32_t x, uint32_t y, uint16_t num,
                                 uint16_t den, uint8_t dispose, uint8_t blend) {
  return Chunk("fcTL", Cat({Be(seq), Be(w), Be(h), Be(x), Be(y),
                            {uint8_t(num >> 8), uint8_t(num), uint8_t(den >> 8), uint8_t(den), dispose, blend}}));
}
inline std::vector<uint8_t> Fdat(uint32_t seq, const std::vector<uint8_t>& data) {
  return Chunk("fdAT", Cat({Be(seq), data}));
}
inline std::vector<uint8_t> Iend() { return Chunk("IEND", {}); }

}  // namespace fw::test
