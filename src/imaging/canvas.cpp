// Increasing the canvas of the selected frames.
#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "imaging/canvas.h"

namespace fw {
namespace {

// The enlarged planes of one frame, all made before any frame changes.
struct Enlarged {
  ImageBlock* frame = nullptr;
  std::unique_ptr<IndexedImage> image;
  std::vector<uint8_t> colour, alpha;
};

void CopyRows(const uint8_t* src, size_t srcStride, uint8_t* dst, size_t dstStride, size_t rowBytes, int rows) {
  for (int y = 0; y < rows; ++y)
    std::memcpy(dst + static_cast<size_t>(y) * dstStride, src + static_cast<size_t>(y) * srcStride, rowBytes);
}

bool Enlarge(const AnimHeader& doc, ImageBlock& f, int32_t width, int32_t height, Enlarged& out) {
  const IndexedImage& old = *f.indexedImage;
  const int ow = old.width, oh = old.height;
  if (old.pixels.size() < old.stride() * static_cast<size_t>(oh)) return true;  // unreadable: left alone
  // The new area must show nothing new: the transparent index where there is one.
  const uint8_t fill = f.transparent() ? f.transparentIndex : doc.backgroundIndex;
  out.frame = &f;
  out.image = AllocIndexedImage(width, height, f.activePalette);
  if (!out.image) return false;
  IndexedImage& image = *out.image;
  FillIndexed(image, fill);
  CopyRows(old.pixels.data(), old.stride(), image.pixels.data(), image.stride(), static_cast<size_t>(ow), oh);

  const uint8_t* colour = TrueColourRows(f);
  if (!colour) return true;
  if (!PlaneSizeAllowed(Stride24(width), static_cast<size_t>(height))) return false;
  out.colour.assign(Stride24(width) * static_cast<size_t>(height), 0);
  if (const uint8_t* alpha = AlphaRows(f)) {
    // With a mask the new area is simply uncovered; its colour does not matter.
    out.alpha.assign(Stride8(width) * static_cast<size_t>(height), 0);
    CopyRows(alpha, Stride8(ow), out.alpha.data(), Stride8(width), static_cast<size_t>(ow), oh);
  } else {
    Rgb c{};
    if (f.activePalette && fill < f.activePalette->count()) c = (*f.activePalette)[fill];
    for (int y = 0; y < height; ++y) {
      uint8_t* d = out.colour.data() + static_cast<size_t>(y) * Stride24(width);
      for (int x = 0; x < width; ++x) {
        d[3 * x] = c.b;
        d[3 * x + 1] = c.g;
        d[3 * x + 2] = c.r;
      }
    }
  }
  CopyRows(colour, Stride24(ow), out.colour.data(), Stride24(width), static_cast<size_t>(ow) * 3, oh);
  return true;
}

}  // namespace

int IncreaseCanvas(AnimHeader& doc, int32_t width, int32_t height) {
  UndoRecord* undo = RecordUndo(undo_kind::kIncreaseCanvas, doc, nullptr, {}, 0);
  std::vector<Enlarged> enlarged;
  bool ok = true;
  try {
    for (ImageBlock* f = FirstImage(&doc); f && ok; f = NextImage(f)) {
      if (!f->selected || !f->indexedImage) continue;
      // A frame larger than asked is never cut: the canvas only grows.
      const int32_t w = std::max(width, f->width), h = std::max(height, f->height);
      if (w == f->width && h == f->height) continue;
      ok = Enlarge(doc, *f, w, h, enlarged.emplace_back());
    }
  } catch (const std::bad_alloc&) {
    ok = false;
  }
  if (!ok) {
    enlarged.clear();
    if (undo) DiscardUndo(undo);
    ShowMessage(msg::kNoMemoryFrameImage);
    return 0;
  }
  int64_t right = doc.screenWidth, bottom = doc.screenHeight;
  bool changed = false;
  for (Enlarged& e : enlarged) {
    if (!e.image) continue;
    ImageBlock& f = *e.frame;
    f.width = e.image->width;
    f.height = e.image->height;
    SetTrueColourPlane(f, std::move(e.colour));
    SetAlphaPlane(f, std::move(e.alpha));
    SetIndexedImage(f, std::move(e.image));
    right = std::max(right, int64_t{f.left} + f.width);
    bottom = std::max(bottom, int64_t{f.top} + f.height);
    changed = true;
  }
  if (!changed) {
    if (undo) DiscardUndo(undo);
    return 0;
  }
  ComputeColourUsage(doc, doc.colourUsage.data(), true);
  doc.encodedSize = -1;
  if (right == doc.screenWidth && bottom == doc.screenHeight) return 1;
  doc.screenWidth = static_cast<int32_t>(std::min<int64_t>(right, INT32_MAX));
  doc.screenHeight = static_cast<int32_t>(std::min<int64_t>(bottom, INT32_MAX));
  return 2;
}

}  // namespace fw
