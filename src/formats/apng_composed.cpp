#include "formats/apng_composed.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "core/compositor.h"
#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "formats/apng_chunk_file.h"
#include "formats/format_messages.h"
#include "formats/png_codec.h"

namespace fw {
namespace {

// A picture as 0xAARRGGBB per pixel; every fully clear pixel is 0, so that clear pixels
// compare equal whatever colour was left under them.
using Picture = std::vector<uint32_t>;

void ReadCanvas(const ImageBlock& canvas, int width, int height, Picture& out) {
  out.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  const int planeWidth = canvas.indexedImage->width;
  const size_t s24 = Stride24(planeWidth), s8 = Stride8(planeWidth);
  for (int y = 0; y < height; ++y) {
    const uint8_t* c = canvas.trueColour.data() + static_cast<size_t>(y) * s24;
    const uint8_t* a = canvas.alpha.data() + static_cast<size_t>(y) * s8;
    uint32_t* o = out.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x)
      if (a[x]) o[x] = uint32_t{a[x]} << 24 | uint32_t{c[3 * x + 2]} << 16 | uint32_t{c[3 * x + 1]} << 8 | c[3 * x];
  }
}

// One frame's own picture on the canvas, as a viewer draws it on a clear canvas.
void ReadFrameAlone(const ImageBlock& frame, int width, int height, Picture& out) {
  out.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
  const int fw = PlaneWidth(frame), fh = PlaneHeight(frame);
  const uint8_t* colour = TrueColourRows(frame);
  const uint8_t* alpha = AlphaRows(frame);
  uint32_t entries[256];
  PaletteEntries(frame, entries);
  for (int y = std::max(0, -frame.top); y < fh && frame.top + y < height; ++y) {
    for (int x = std::max(0, -frame.left); x < fw && frame.left + x < width; ++x) {
      uint32_t v;
      if (colour) {
        const uint8_t* c = colour + static_cast<size_t>(y) * Stride24(fw) + 3 * static_cast<size_t>(x);
        const uint8_t index = frame.indexedImage ? frame.indexedImage->row(y)[x] : 0;
        const uint32_t a = alpha ? alpha[static_cast<size_t>(y) * Stride8(fw) + static_cast<size_t>(x)]
                                 : (frame.indexedImage && frame.transparent() && index == frame.transparentIndex ? 0 : 255);
        v = a << 24 | uint32_t{c[2]} << 16 | uint32_t{c[1]} << 8 | c[0];
      } else {
        if (!frame.indexedImage) continue;
        const uint8_t index = frame.indexedImage->row(y)[x];
        v = frame.transparent() && index == frame.transparentIndex ? 0 : 0xFF000000u | (entries[index] & 0xFFFFFF);
      }
      out[static_cast<size_t>(frame.top + y) * static_cast<size_t>(width) + static_cast<size_t>(frame.left + x)] =
          v >> 24 ? v : 0;
    }
  }
}

// Walks the pictures: the hidden first frame alone (when asked), then the animation composed
// without it. `visit` gets the picture and the frame drawn last; false from it stops the walk.
template <typename Visit>
bool WalkPictures(const AnimHeader& document, bool hidden, Visit visit) {
  const int width = std::max(1, document.screenWidth), height = std::max(1, document.screenHeight);
  Picture picture;
  const AnimHeader* animation = &document;
  AnimPtr rest;
  if (hidden) {
    const ImageBlock& first = *FirstImage(&document);
    ReadFrameAlone(first, width, height, picture);
    if (!visit(picture, first)) return false;
    rest = CopyAnimation(document, nullptr);
    if (!rest) return false;
    BlockPtr dropped = DetachBlock(FirstImage(rest.get()));
    --rest->frameCount;
    rest->hideFirstFrame = 0;
    animation = rest.get();
  }
  Compositor compositor(*animation, true);
  for (const ImageBlock* canvas = compositor.first(); canvas; canvas = compositor.next()) {
    ReadCanvas(*canvas, width, height, picture);
    if (!visit(picture, *compositor.currentFrame())) return false;
  }
  return true;
}

struct Rect {
  int x = 0, y = 0, w = 0, h = 0;
};

// The smallest rectangle holding every pixel that differs; 1 x 1 at the origin when none do.
Rect Changed(const Picture& before, const Picture& after, int width, int height) {
  int x0 = width, y0 = height, x1 = -1, y1 = -1;
  for (int y = 0; y < height; ++y) {
    const uint32_t* a = before.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    const uint32_t* b = after.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int x = 0; x < width; ++x) {
      if (a[x] == b[x]) continue;
      x0 = std::min(x0, x);
      x1 = std::max(x1, x);
      y0 = std::min(y0, y);
      y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return {0, 0, 1, 1};
  return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
}

class Encoder {
 public:
  // 3 palette, 2 RGB, 6 RGBA.
  int colourType = 6;
  std::vector<Rgb> palette;
  std::vector<uint8_t> paletteAlpha;
  std::unordered_map<uint32_t, uint8_t> index;

  bool encode(const Picture& picture, int width, const Rect& r, std::vector<uint8_t>& stream) {
    PngPictureOut out;
    out.width = r.w;
    out.height = r.h;
    out.colourType = colourType;
    pixels_.clear();
    alpha_.clear();
    const size_t perPixel = colourType == 3 ? 1 : 3;
    pixels_.resize(static_cast<size_t>(r.w) * static_cast<size_t>(r.h) * perPixel);
    if (colourType == 6) alpha_.resize(static_cast<size_t>(r.w) * static_cast<size_t>(r.h));
    size_t at = 0;
    for (int y = r.y; y < r.y + r.h; ++y) {
      const uint32_t* row = picture.data() + static_cast<size_t>(y) * static_cast<size_t>(width);
      for (int x = r.x; x < r.x + r.w; ++x, ++at) {
        const uint32_t v = row[x];
        if (colourType == 3) {
          pixels_[at] = index.at(v);
          continue;
        }
        pixels_[3 * at] = static_cast<uint8_t>(v);
        pixels_[3 * at + 1] = static_cast<uint8_t>(v >> 8);
        pixels_[3 * at + 2] = static_cast<uint8_t>(v >> 16);
        if (colourType == 6) alpha_[at] = static_cast<uint8_t>(v >> 24);
      }
    }
    out.pixels = pixels_.data();
    out.stride = static_cast<size_t>(r.w) * perPixel;
    if (colourType == 6) {
      out.alpha = alpha_.data();
      out.alphaStride = static_cast<size_t>(r.w);
    }
    if (colourType == 3) {
      out.palette = palette;
      if (std::any_of(paletteAlpha.begin(), paletteAlpha.end(), [](uint8_t a) { return a != 255; }))
        out.trnsAlpha = paletteAlpha;
    }
    stream.clear();
    PngOutput output;
    output.grow = &stream;
    return EncodePngStream(out, output);
  }

 private:
  std::vector<uint8_t> pixels_, alpha_;
};

FrameControl ControlFor(const Rect& r, const ImageBlock& frame) {
  FrameControl fc;
  fc.width = static_cast<uint32_t>(r.w);
  fc.height = static_cast<uint32_t>(r.h);
  fc.x = static_cast<uint32_t>(r.x);
  fc.y = static_cast<uint32_t>(r.y);
  fc.delayNumerator = static_cast<uint16_t>(std::clamp(frame.delay, 0, 0xFFFF));
  fc.delayDenominator = static_cast<uint16_t>(std::clamp(Prefs().timeBase(), 1, 0xFFFF));
  fc.disposeOp = 0;  // the next frame is stored against this picture
  fc.blendOp = 0;    // and replaces what it covers, clear pixels included
  return fc;
}

}  // namespace

int WriteComposedApng(std::FILE* file, const AnimHeader& document) {
  const int width = std::max(1, document.screenWidth), height = std::max(1, document.screenHeight);
  const bool animated = document.frameCount > 1;
  const bool hidden = animated && document.hideFirstFrame != 0;

  // First walk: the colours, to choose the colour type.
  Encoder encoder;
  bool tooMany = false, anyClear = false;
  std::vector<uint32_t> colours;
  const bool walked = WalkPictures(document, hidden, [&](const Picture& picture, const ImageBlock&) {
    for (const uint32_t v : picture) {
      anyClear |= (v >> 24) != 255;
      if (tooMany || encoder.index.count(v)) continue;
      if (encoder.index.size() == 256) {
        tooMany = true;
        continue;
      }
      encoder.index.emplace(v, static_cast<uint8_t>(encoder.index.size()));
      colours.push_back(v);
    }
    return true;
  });
  if (!walked) {
    ShowMessage(fmsg::kPngEncodeError);
    return 0;
  }
  if (!tooMany) {
    encoder.colourType = 3;
    for (const uint32_t v : colours) {
      encoder.palette.push_back({static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)});
      encoder.paletteAlpha.push_back(static_cast<uint8_t>(v >> 24));
    }
  } else {
    encoder.colourType = anyClear ? 6 : 2;
  }

  // Second walk: each picture as the part that changed.
  ChunkFile out(file);
  std::vector<uint8_t> stream;
  Picture previous;
  uint32_t sequence = 0;
  int index = 0;
  const uint32_t frames = animated ? static_cast<uint32_t>(document.frameCount - (hidden ? 1 : 0)) : 0;
  const uint32_t plays = static_cast<uint32_t>(std::max(0, document.playCount));
  bool failed = false;
  WalkPictures(document, hidden, [&](const Picture& picture, const ImageBlock& frame) {
    // The default image and the first frame of the animation cover the canvas.
    const bool whole = index == 0 || (hidden && index == 1);
    const Rect r = whole ? Rect{0, 0, width, height} : Changed(previous, picture, width, height);
    const FrameControl control = ControlFor(r, frame);
    const bool inAnimation = animated && !(hidden && index == 0);
    if (!encoder.encode(picture, width, r, stream) ||
        !EmitApngFrame(out, stream, index == 0, frames, plays, inAnimation ? &control : nullptr, sequence)) {
      failed = true;
      return false;
    }
    previous = picture;
    ++index;
    return out.ok();
  });
  if (failed) {
    ShowMessage(fmsg::kPngEncodeError);
    return 0;
  }
  out.chunk(ChunkType("IEND"), nullptr, 0, nullptr, 0);
  return out.ok() ? 1 : 0;
}

}  // namespace fw
