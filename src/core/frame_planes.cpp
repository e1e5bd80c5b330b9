#include "core/frame_planes.h"

#include <algorithm>
#include <new>

namespace fw {
namespace {

bool AllocZeroed(std::vector<uint8_t>& plane, size_t rowBytes, size_t height) {
  if (!PlaneSizeAllowed(rowBytes, height)) return false;
  try {
    plane.assign(rowBytes * height, 0);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

}  // namespace

int PlaneWidth(const ImageBlock& frame) {
  return frame.indexedImage ? frame.indexedImage->width : std::max(1, frame.width);
}

int PlaneHeight(const ImageBlock& frame) {
  return frame.indexedImage ? frame.indexedImage->height : std::max(1, frame.height);
}

size_t TrueColourBytes(const ImageBlock& frame) {
  return Stride24(PlaneWidth(frame)) * static_cast<size_t>(PlaneHeight(frame));
}

size_t AlphaBytes(const ImageBlock& frame) {
  return Stride8(PlaneWidth(frame)) * static_cast<size_t>(PlaneHeight(frame));
}

const uint8_t* TrueColourRows(const ImageBlock& frame) {
  if (frame.trueColour.empty() || frame.trueColour.size() < TrueColourBytes(frame)) return nullptr;
  return frame.trueColour.data();
}

const uint8_t* AlphaRows(const ImageBlock& frame) {
  if (!TrueColourRows(frame) || frame.alpha.empty() || frame.alpha.size() < AlphaBytes(frame)) return nullptr;
  return frame.alpha.data();
}

uint8_t* AddTrueColour(ImageBlock& frame, bool replace) {
  if (frame.hasTrueColour() && !replace) return frame.trueColour.data();
  std::vector<uint8_t> plane;
  if (!AllocZeroed(plane, Stride24(PlaneWidth(frame)), static_cast<size_t>(PlaneHeight(frame)))) return nullptr;
  RemoveTrueColour(frame);
  frame.trueColour = std::move(plane);
  return frame.trueColour.data();
}

void RemoveTrueColour(ImageBlock& frame) {
  std::vector<uint8_t>().swap(frame.trueColour);
  std::vector<uint8_t>().swap(frame.alpha);
  std::vector<uint8_t>().swap(frame.displayColour);
}

std::vector<uint8_t> SetTrueColourPlane(ImageBlock& frame, std::vector<uint8_t> plane) {
  std::swap(frame.trueColour, plane);
  std::vector<uint8_t>().swap(frame.displayColour);
  if (frame.trueColour.empty()) std::vector<uint8_t>().swap(frame.alpha);
  return plane;
}

uint8_t* AddAlpha(ImageBlock& frame, bool replace) {
  if (!frame.hasTrueColour()) return nullptr;
  if (!frame.alpha.empty() && !replace) return frame.alpha.data();
  std::vector<uint8_t> plane;
  if (!AllocZeroed(plane, Stride8(PlaneWidth(frame)), static_cast<size_t>(PlaneHeight(frame)))) return nullptr;
  frame.alpha = std::move(plane);
  std::vector<uint8_t>().swap(frame.displayColour);
  return frame.alpha.data();
}

void RemoveAlpha(ImageBlock& frame) {
  std::vector<uint8_t>().swap(frame.alpha);
  std::vector<uint8_t>().swap(frame.displayColour);
}

std::vector<uint8_t> SetAlphaPlane(ImageBlock& frame, std::vector<uint8_t> plane) {
  if (!frame.hasTrueColour()) return plane;
  std::swap(frame.alpha, plane);
  std::vector<uint8_t>().swap(frame.displayColour);
  return plane;
}

uint8_t* AllocDisplayColour(ImageBlock& frame) {
  if (!AllocZeroed(frame.displayColour, Stride24(PlaneWidth(frame)), static_cast<size_t>(PlaneHeight(frame))))
    return nullptr;
  return frame.displayColour.data();
}

void FreeDisplayColour(ImageBlock& frame) { std::vector<uint8_t>().swap(frame.displayColour); }

void PaletteEntries(const ImageBlock& frame, uint32_t* entries) {
  std::fill(entries, entries + 256, 0u);
  if (const Palette* palette = frame.activePalette)
    for (int i = 0; i < palette->count(); ++i) entries[i] = ColourEntry((*palette)[i]);
}

int ExpandToTrueColour(ImageBlock& frame) {
  if (frame.hasTrueColour() || !frame.indexedImage) return 0;
  const IndexedImage& image = *frame.indexedImage;
  const size_t h = static_cast<size_t>(image.height);
  if (image.pixels.size() < image.stride() * h) return 0;
  std::vector<uint8_t> colour, alpha;
  if (!AllocZeroed(colour, Stride24(image.width), h)) return 0;
  if (frame.transparent() && !AllocZeroed(alpha, Stride8(image.width), h)) return 0;

  uint32_t entries[256];
  PaletteEntries(frame, entries);
  const size_t stride24 = Stride24(image.width);
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* src = image.row(y);
    uint8_t* dst = colour.data() + static_cast<size_t>(y) * stride24;
    for (int x = 0; x < image.width; ++x) {
      const uint32_t e = entries[src[x]];
      dst[3 * x] = static_cast<uint8_t>(e);
      dst[3 * x + 1] = static_cast<uint8_t>(e >> 8);
      dst[3 * x + 2] = static_cast<uint8_t>(e >> 16);
    }
    if (!alpha.empty()) {
      uint8_t* a = alpha.data() + static_cast<size_t>(y) * image.stride();
      for (int x = 0; x < image.width; ++x) a[x] = src[x] == frame.transparentIndex ? 0 : 255;
    }
  }
  frame.trueColour = std::move(colour);
  frame.alpha = std::move(alpha);
  std::vector<uint8_t>().swap(frame.displayColour);
  return 1;
}

bool AlphaIsOpaque(const ImageBlock& frame) {
  if (frame.alpha.empty()) return true;
  const int w = PlaneWidth(frame), h = PlaneHeight(frame);
  const size_t stride = Stride8(w);
  if (frame.alpha.size() < stride * static_cast<size_t>(h)) return false;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = frame.alpha.data() + static_cast<size_t>(y) * stride;
    if (!std::all_of(row, row + w, [](uint8_t a) { return a == 255; })) return false;
  }
  return true;
}

void BlackOutTransparent(ImageBlock& frame) {
  if (!frame.indexedImage || !TrueColourRows(frame)) return;
  const IndexedImage& image = *frame.indexedImage;
  if (image.pixels.size() < image.stride() * static_cast<size_t>(image.height)) return;
  const size_t stride24 = Stride24(image.width);
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* src = image.row(y);
    uint8_t* dst = frame.trueColour.data() + static_cast<size_t>(y) * stride24;
    for (int x = 0; x < image.width; ++x)
      if (src[x] == frame.transparentIndex) dst[3 * x] = dst[3 * x + 1] = dst[3 * x + 2] = 0;
  }
}

}  // namespace fw
