#include "imaging/true_colour.h"

#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "imaging/ditherer.h"
#include "imaging/octree.h"
#include "imaging/refined_palette.h"
#include "imaging/remap.h"

namespace fw {
namespace {

void Install(ImageBlock& block, std::unique_ptr<IndexedImage> image, Palette& palette, bool masked) {
  block.activePalette = &palette;
  SetIndexedImage(block, std::move(image));
  if (masked) {
    SetTransparentIndex(block, palette.count() - 1);
    SetTransparency(block, true);
  }
  RefreshDisplayMask(block);
  if (!Prefs().bit(pref::kOptionFlags, pref::kKeepTrueColour)) RemoveTrueColour(block);
  FreeDisplayColour(block);
}

// `convert(image, rows, mask)` fills the new 8-bit image from the true-colour rows.
template <typename Convert>
bool MapBlock(ImageBlock& block, Palette& palette, Convert convert) {
  const uint8_t* rows = TrueColourRows(block);
  if (!rows) return false;
  try {
    std::unique_ptr<IndexedImage> image = AllocIndexedImage(PlaneWidth(block), PlaneHeight(block), &palette);
    if (!image) {
      ShowMessage(msg::kNoMemoryFrameImage);
      return false;
    }
    const std::vector<uint8_t> mask = BlockMask(block);
    const uint8_t* m = mask.empty() ? nullptr : mask.data();
    if (!convert(*image, rows, m)) return false;
    Install(block, std::move(image), palette, m != nullptr);
    return true;
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return false;
  }
}

}  // namespace

std::vector<uint8_t> BlockMask(const ImageBlock& block) {
  if (const uint8_t* alpha = AlphaRows(block)) return std::vector<uint8_t>(alpha, alpha + AlphaBytes(block));
  std::vector<uint8_t> mask;
  if (!block.transparent() || !block.indexedImage) return mask;
  const IndexedImage& image = *block.indexedImage;
  if (image.pixels.size() != AlphaBytes(block)) return mask;
  mask.assign(image.pixels.size(), 255);
  for (size_t i = 0; i < mask.size(); ++i)
    if (image.pixels[i] == block.transparentIndex) mask[i] = 0;
  return mask;
}

bool MapTrueColourBlock(ImageBlock& block, Palette& palette, bool dither, bool exact) {
  return MapBlock(block, palette, [&](IndexedImage& image, const uint8_t* rows, const uint8_t* mask) {
    const int n = palette.count();
    const int mapCount = (mask && n > 1) ? n - 1 : n;
    if (!PrepareDithering(palette.data(), mapCount, image.width, exact)) return false;
    return ConvertTrueColourRows(image.pixels.data(), image.stride(), rows, Stride24(image.width), mask,
                                 Stride8(image.width), image.width, image.height, dither, static_cast<uint8_t>(n - 1));
  });
}

bool MapTrueColourBlock(ImageBlock& block, Palette& palette, const Octree& octree) {
  return MapBlock(block, palette, [&](IndexedImage& image, const uint8_t* rows, const uint8_t* mask) {
    octree.mapTrueColour(image.width, image.height, rows, Stride24(image.width), mask, Stride8(image.width),
                         static_cast<uint8_t>(palette.count() - 1), image.pixels.data(), image.stride());
    return true;
  });
}

bool MapTrueColourBlock(ImageBlock& block, Palette& palette, NearestColourCache& nearest) {
  return MapBlock(block, palette, [&](IndexedImage& image, const uint8_t* rows, const uint8_t* mask) {
    const uint8_t masked = static_cast<uint8_t>(palette.count() - 1);
    for (int y = 0; y < image.height; ++y) {
      const uint8_t* p = rows + size_t(y) * Stride24(image.width);
      const uint8_t* m = mask ? mask + size_t(y) * Stride8(image.width) : nullptr;
      uint8_t* out = image.row(y);
      for (int x = 0; x < image.width; ++x)
        out[x] = (m && !m[x]) ? masked : nearest.lookup(Rgb{p[3 * x + 2], p[3 * x + 1], p[3 * x]});
    }
    return true;
  });
}

}  // namespace fw
