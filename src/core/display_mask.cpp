#include "core/display_mask.h"

#include <cstring>
#include <new>

#include "core/preferences.h"

namespace fw {
namespace {

uint32_t PaletteEntry(const ImageBlock& frame, int index) {
  const Palette* palette = frame.activePalette;
  if (!palette || index >= palette->count()) return 0;  // unused table entries are 0
  return ColourEntry((*palette)[index]);
}

void SetTableEntry(ImageBlock& frame, bool dropping) {
  if (!frame.indexedImage || !frame.activePalette) return;
  frame.indexedImage->colourTable[frame.transparentIndex] = TransparentDisplayEntry(frame, dropping);
}

}  // namespace

bool HasDisplayMask(const ImageBlock& frame) { return !frame.maskBitmap.empty(); }

bool MaskIsSet(const ImageBlock& frame, int x, int y) {
  if (!frame.indexedImage || x < 0 || y < 0) return false;
  const IndexedImage& image = *frame.indexedImage;
  if (x >= image.width || y >= image.height) return false;
  const size_t at = static_cast<size_t>(y) * MaskStride(image.width) + static_cast<size_t>(x) / 8;
  if (at >= frame.maskBitmap.size()) return false;
  return (frame.maskBitmap[at] >> (7 - x % 8)) & 1;
}

uint32_t TransparentDisplayEntry(const ImageBlock& frame, bool dropping) {
  const uint32_t preference = Prefs().raw(pref::kStripTransparency);
  const uint32_t mode = preference >> 24;
  if (dropping || mode == 1) return PaletteEntry(frame, frame.transparentIndex);
  // A palette-based screen would need black here; we never draw on one.
  if (mode != 0) {
    const Rgb colour{static_cast<uint8_t>(preference), static_cast<uint8_t>(preference >> 8),
                     static_cast<uint8_t>(preference >> 16)};
    return ColourEntry(colour);
  }
  return kButtonFaceEntry;
}

void DropDisplayMask(ImageBlock& frame) {
  // The table holds the display colour exactly while a mask exists.
  if (frame.maskBitmap.empty()) return;
  SetTableEntry(frame, true);
  std::vector<uint8_t>().swap(frame.maskBitmap);
}

void BuildDisplayMask(ImageBlock& frame) {
  DropDisplayMask(frame);
  if (!frame.transparent() || !frame.indexedImage) return;
  const IndexedImage& image = *frame.indexedImage;
  const size_t stride = MaskStride(image.width);
  if (image.pixels.size() < image.stride() * static_cast<size_t>(image.height)) return;
  try {
    frame.maskBitmap.assign(stride * static_cast<size_t>(image.height), 0);
  } catch (const std::bad_alloc&) {
    return;  // drawn without transparency until the next rebuild
  }
  const uint8_t key = frame.transparentIndex;
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* src = image.row(y);
    uint8_t* dst = frame.maskBitmap.data() + static_cast<size_t>(y) * stride;
    for (int x = 0; x < image.width; ++x)
      if (src[x] == key) dst[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
  }
  // The true-colour plane is left alone: drawing goes through the mask, so blacking out its
  // transparent pixels (which a bitwise-OR blit would need) would only lose their colours.
  SetTableEntry(frame, false);
}

void RebuildDisplayMasks(AnimHeader& document) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) BuildDisplayMask(*f);
}

}  // namespace fw
