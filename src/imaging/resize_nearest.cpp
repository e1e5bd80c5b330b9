// Nearest-neighbour resize: every destination pixel is one source pixel, so the palette,
// the transparent index and the set of colours stay exactly as they were.
#include <new>
#include <vector>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/resize.h"

namespace fw {
namespace {

// Source index for every destination index.
std::vector<int32_t> SourceIndexes(int source, int dest) {
  std::vector<int32_t> map(static_cast<size_t>(dest));
  for (int i = 0; i < dest; ++i) map[static_cast<size_t>(i)] = static_cast<int32_t>(int64_t{i} * source / dest);
  return map;
}

void Stretch(const uint8_t* src, size_t srcStride, uint8_t* dst, size_t dstStride, int bytesPerPixel,
             const std::vector<int32_t>& xs, const std::vector<int32_t>& ys) {
  for (size_t j = 0; j < ys.size(); ++j) {
    const uint8_t* s = src + static_cast<size_t>(ys[j]) * srcStride;
    uint8_t* d = dst + j * dstStride;
    if (bytesPerPixel == 1) {
      for (size_t i = 0; i < xs.size(); ++i) d[i] = s[xs[i]];
    } else {
      for (size_t i = 0; i < xs.size(); ++i) {
        const uint8_t* p = s + static_cast<size_t>(xs[i]) * 3;
        d[i * 3] = p[0];
        d[i * 3 + 1] = p[1];
        d[i * 3 + 2] = p[2];
      }
    }
  }
}

// The new planes of one frame, made before any frame changes so that running out of memory
// part-way leaves the document as it was.
struct Scaled {
  ImageBlock* frame = nullptr;
  std::unique_ptr<IndexedImage> image;
  std::vector<uint8_t> colour, alpha;
  int32_t width = 0, height = 0, left = 0, top = 0;
};

bool ScaleFrame(const ImageBlock& f, const ScaleRecord& s, Scaled& out) {
  out.width = ScaleLength(f.width, s.oldWidth, s.newWidth);
  out.height = ScaleLength(f.height, s.oldHeight, s.newHeight);
  out.left = ScalePosition(f.left, s.oldWidth, s.newWidth);
  out.top = ScalePosition(f.top, s.oldHeight, s.newHeight);
  if (!f.indexedImage) return true;  // nothing to stretch: only the geometry changes
  const IndexedImage& src = *f.indexedImage;
  if (src.pixels.size() < src.stride() * static_cast<size_t>(src.height)) return true;
  out.image = AllocIndexedImage(out.width, out.height, f.activePalette);
  if (!out.image) return false;
  const int dw = out.image->width, dh = out.image->height;
  const std::vector<int32_t> xs = SourceIndexes(src.width, dw);
  const std::vector<int32_t> ys = SourceIndexes(src.height, dh);
  Stretch(src.pixels.data(), src.stride(), out.image->pixels.data(), out.image->stride(), 1, xs, ys);
  // True-colour planes follow the same pixels so that all planes keep showing one picture.
  if (const uint8_t* colour = TrueColourRows(f)) {
    if (!PlaneSizeAllowed(Stride24(dw), static_cast<size_t>(dh))) return false;
    out.colour.assign(Stride24(dw) * static_cast<size_t>(dh), 0);
    Stretch(colour, Stride24(src.width), out.colour.data(), Stride24(dw), 3, xs, ys);
    if (const uint8_t* alpha = AlphaRows(f)) {
      out.alpha.assign(Stride8(dw) * static_cast<size_t>(dh), 0);
      Stretch(alpha, Stride8(src.width), out.alpha.data(), Stride8(dw), 1, xs, ys);
    }
  }
  return true;
}

void Commit(Scaled& s) {
  ImageBlock& f = *s.frame;
  f.width = s.width;
  f.height = s.height;
  f.left = s.left;
  f.top = s.top;
  if (!s.image) return;
  SetTrueColourPlane(f, std::move(s.colour));
  SetAlphaPlane(f, std::move(s.alpha));
  SetIndexedImage(f, std::move(s.image));
}

}  // namespace

int ResizeNearest(const ScaleRecord& scale, AnimHeader& document, Progress* progress) {
  std::vector<Scaled> scaled;
  try {
    for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
      if (!InResizeScope(*f, scale)) continue;
      Scaled& s = scaled.emplace_back();
      s.frame = f;
      if (!ScaleFrame(*f, scale, s)) {
        ShowMessage(msg::kNoMemoryFrameImage);
        return 0;
      }
      if (!StepProgress(progress)) return 0;
    }
  } catch (const std::bad_alloc&) {
    scaled.clear();
    ShowMessage(msg::kNoMemoryFrameImage);
    return 0;
  }
  for (Scaled& s : scaled) Commit(s);
  return 1;
}

}  // namespace fw
