// An animation out as an RGB PSD: one raw layer per frame and the composite of all frames.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/write_failure.h"
#include "formats/psd_file.h"

namespace fw {
namespace {

// Word 15 bit 0: transparency also goes out as a layer mask.
constexpr uint32_t kPsdMaskChannel = 1;
// The largest canvas a PSD (as opposed to a large-document PSB) may declare, and the layer
// count, a signed 16-bit field whose sign means something else.
constexpr int kPsdLargestSide = 30000;
constexpr int kPsdMostLayers = 32767;

class BeFile {
 public:
  explicit BeFile(std::FILE* f) : file_(f) {}
  void bytes(const uint8_t* p, size_t n) {
    if (ok_ && n && std::fwrite(p, 1, n, file_) != n) {
      ok_ = false;
      NoteWriteErrno();
    }
  }
  void u8(uint32_t v) {
    const uint8_t b = static_cast<uint8_t>(v);
    bytes(&b, 1);
  }
  void u16(uint32_t v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
    bytes(b, 2);
  }
  void u32(uint32_t v) {
    const uint8_t b[4] = {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8),
                          static_cast<uint8_t>(v)};
    bytes(b, 4);
  }
  void text(const char (&four)[5]) { bytes(reinterpret_cast<const uint8_t*>(four), 4); }
  bool ok() const { return ok_; }

 private:
  std::FILE* file_;
  bool ok_ = true;
};

// Channel ids as stored: 0 red, 1 green, 2 blue, -1 transparency, -2 layer mask.
struct LayerOut {
  const ImageBlock* frame = nullptr;
  int width = 0, height = 0;
  bool mask = false;
  int channelCount() const { return mask ? 5 : 4; }
};

// One row of a channel of a frame. 8-bit frames show their palette colours and are clear at
// the transparent index; with the mask option a true-colour frame's alpha moves to the mask.
void ChannelRow(const LayerOut& l, int channel, int y, uint8_t* out) {
  const ImageBlock& f = *l.frame;
  const int w = l.width;
  const uint8_t* colour = TrueColourRows(f);
  const uint8_t* alpha = AlphaRows(f);
  if (colour) {
    const uint8_t* c = colour + static_cast<size_t>(y) * Stride24(w);
    const uint8_t* a = alpha ? alpha + static_cast<size_t>(y) * Stride8(w) : nullptr;
    if (channel <= 2) {
      for (int x = 0; x < w; ++x) out[x] = c[3 * x + 2 - channel];
    } else if (channel == 3 && l.mask) {
      std::fill_n(out, w, uint8_t{255});
    } else if (a) {
      std::copy(a, a + w, out);
    } else {
      std::fill_n(out, w, uint8_t{255});
    }
    return;
  }
  if (!f.indexedImage) {
    std::fill_n(out, w, static_cast<uint8_t>(channel <= 2 ? 0 : 255));
    return;
  }
  uint32_t table[256];
  PaletteEntries(f, table);
  const uint8_t* index = f.indexedImage->row(y);
  for (int x = 0; x < w; ++x) {
    if (channel <= 2)
      out[x] = static_cast<uint8_t>(table[index[x]] >> (8 * (2 - channel)));
    else
      out[x] = f.transparent() && index[x] == f.transparentIndex ? 0 : 255;
  }
}

// All frames drawn in order onto a clear canvas: planes red, green, blue, alpha.
std::vector<uint8_t> BuildComposite(const std::vector<LayerOut>& layers, int width, int height) {
  const size_t plane = static_cast<size_t>(width) * static_cast<size_t>(height);
  std::vector<uint8_t> rgba(plane * 4, 0);
  std::vector<uint8_t> row[4];
  for (const LayerOut& l : layers) {
    const ImageBlock& f = *l.frame;
    const bool trueColour = TrueColourRows(f) != nullptr;
    const bool blend = trueColour && AlphaRows(f);
    LayerOut plain = l;
    plain.mask = false;
    for (auto& r : row) r.assign(static_cast<size_t>(l.width), 0);
    for (int y = 0; y < l.height; ++y) {
      const int cy = f.top + y;
      if (cy < 0 || cy >= height) continue;
      for (int c = 0; c < 4; ++c) ChannelRow(plain, c, y, row[c].data());
      for (int x = 0; x < l.width; ++x) {
        const int cx = f.left + x;
        if (cx < 0 || cx >= width) continue;
        const size_t at = static_cast<size_t>(cy) * static_cast<size_t>(width) + static_cast<size_t>(cx);
        const int a = row[3][static_cast<size_t>(x)];
        if (blend) {
          for (int c = 0; c < 3; ++c) {
            uint8_t& old = rgba[plane * static_cast<size_t>(c) + at];
            old = static_cast<uint8_t>(((255 - a) * old + a * row[c][static_cast<size_t>(x)]) / 255);
          }
          uint8_t& oldAlpha = rgba[plane * 3 + at];
          oldAlpha = static_cast<uint8_t>(std::min(255, oldAlpha + a));
        } else if (trueColour || a != 0) {
          for (int c = 0; c < 3; ++c) rgba[plane * static_cast<size_t>(c) + at] = row[c][static_cast<size_t>(x)];
          rgba[plane * 3 + at] = 255;
        }
      }
    }
  }
  return rgba;
}

}  // namespace

int WritePsdFile(const std::string& path, const AnimHeader& document) {
  const int width = document.screenWidth, height = document.screenHeight;
  if (width <= 0 || height <= 0 || width > kPsdLargestSide || height > kPsdLargestSide) {
    ShowText("A PSD file holds pictures of 1 x 1 to %d x %d pixels; this animation is %d x %d.", kPsdLargestSide,
             kPsdLargestSide, width, height);
    return 0;
  }
  if (document.frameCount > kPsdMostLayers) {
    ShowText("A PSD file holds at most %d layers; this animation has %d frames.", kPsdMostLayers, document.frameCount);
    return 0;
  }
  const bool maskOption = Prefs().bit(pref::kMoreFlags, kPsdMaskChannel);
  std::vector<LayerOut> layers;
  uint64_t infoLength = 2;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    LayerOut l;
    l.frame = f;
    l.width = PlaneWidth(*f);
    l.height = PlaneHeight(*f);
    l.mask = maskOption && (f->transparent() || AlphaRows(*f));
    const uint64_t channelBytes = uint64_t(l.width) * uint64_t(l.height) + 2;
    if (l.width > kPsdLargestSide || l.height > kPsdLargestSide) {
      ShowText("A PSD file holds layers of at most %d x %d pixels; a frame is %d x %d.", kPsdLargestSide,
               kPsdLargestSide, l.width, l.height);
      return 0;
    }
    // Rectangle, channels, blend signature and mode, four bytes of settings, extra data.
    infoLength += 16 + 2 + 6 * uint64_t(l.channelCount()) + 4 + 4 + 4 + 4;
    // Extra data: the mask block, an empty blending-range block and an empty name.
    infoLength += 4 + (l.mask ? 20 : 0) + 4 + 4;
    infoLength += channelBytes * uint64_t(l.channelCount());
    layers.push_back(l);
  }
  const bool padded = infoLength & 1;
  infoLength += infoLength & 1;
  if (infoLength + 8 > 0xFFFFFFFFu) {
    ShowText("A PSD file holds at most 4 GB of layers; these frames need %llu bytes.",
             static_cast<unsigned long long>(infoLength + 8));
    return 0;
  }

  std::vector<uint8_t> composite;
  try {
    composite = BuildComposite(layers, width, height);
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return 0;
  }
  const size_t plane = static_cast<size_t>(width) * static_cast<size_t>(height);
  const bool compositeAlpha = std::any_of(composite.begin() + static_cast<std::ptrdiff_t>(plane * 3), composite.end(),
                                          [](uint8_t a) { return a != 255; });

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), std::fclose);
  if (!file) {
    ShowMessage(msg::kCannotSaveTemp, path.c_str());
    return 0;
  }
  BeFile out(file.get());
  out.text("8BPS");
  out.u16(1);
  out.bytes(std::vector<uint8_t>(6, 0).data(), 6);
  out.u16(compositeAlpha ? 4 : 3);
  out.u32(static_cast<uint32_t>(height));
  out.u32(static_cast<uint32_t>(width));
  out.u16(8);
  out.u16(3);
  out.u32(0);  // colour mode data
  out.u32(0);  // image resources

  out.u32(static_cast<uint32_t>(infoLength + 4 + 4));
  out.u32(static_cast<uint32_t>(infoLength));
  out.u16(static_cast<uint32_t>(layers.size()));
  for (const LayerOut& l : layers) {
    const ImageBlock& f = *l.frame;
    out.u32(static_cast<uint32_t>(f.top));
    out.u32(static_cast<uint32_t>(f.left));
    out.u32(static_cast<uint32_t>(f.top + l.height));
    out.u32(static_cast<uint32_t>(f.left + l.width));
    out.u16(static_cast<uint32_t>(l.channelCount()));
    const uint32_t channelBytes = static_cast<uint32_t>(uint64_t(l.width) * uint64_t(l.height) + 2);
    for (int c = 0; c < l.channelCount(); ++c) {
      out.u16(static_cast<uint32_t>(c <= 2 ? c : c == 3 ? -1 : -2) & 0xFFFF);
      out.u32(channelBytes);
    }
    out.text("8BIM");
    out.text("norm");
    out.u8(255);  // opacity
    out.u8(0);    // clipping
    out.u8(0);    // flags
    out.u8(0);    // filler
    out.u32(l.mask ? 4 + 20 + 8 : 4 + 8);
    if (l.mask) {
      out.u32(20);
      out.u32(static_cast<uint32_t>(f.top));
      out.u32(static_cast<uint32_t>(f.left));
      out.u32(static_cast<uint32_t>(f.top + l.height));
      out.u32(static_cast<uint32_t>(f.left + l.width));
      out.u8(0);  // default colour
      out.u8(0);  // flags
      out.u16(0);
    } else {
      out.u32(0);
    }
    out.u32(0);  // blending ranges
    out.u32(0);  // name: no characters, padded to four bytes
  }
  std::vector<uint8_t> row;
  for (const LayerOut& l : layers) {
    row.assign(static_cast<size_t>(l.width), 0);
    for (int c = 0; c < l.channelCount(); ++c) {
      out.u16(0);
      // The mask shows what the transparency channel would without the option.
      LayerOut source = l;
      int channel = c;
      if (c == 4) {
        source.mask = false;
        channel = 3;
      }
      for (int y = 0; y < l.height; ++y) {
        ChannelRow(source, channel, y, row.data());
        out.bytes(row.data(), row.size());
      }
    }
  }
  if (padded) out.u8(0);
  out.u32(0);  // global layer mask

  out.u16(0);
  out.bytes(composite.data(), plane * (compositeAlpha ? 4 : 3));
  bool ok = out.ok();
  if (std::fclose(file.release()) != 0 && ok) {
    NoteWriteErrno();
    ok = false;
  }
  return ok ? 1 : 0;
}

}  // namespace fw
