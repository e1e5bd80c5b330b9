#include "imaging/block_dither.h"

#include <algorithm>
#include <new>
#include <vector>

#include "core/message_sink.h"
#include "core/string_table.h"

#include "core/progress.h"
#include "imaging/ditherer.h"
#include "imaging/nearest.h"
#include "imaging/remap.h"
#include "imaging/transparent_slot.h"

namespace fw {
namespace {

// Entries the inverse map may hand to opaque pixels.
int MapCount(int count, int transparentIndex) {
  return (transparentIndex >= 0 && transparentIndex == count - 1 && count > 1) ? count - 1 : count;
}

bool DitherTransparentFrame(ImageBlock& block, const Palette* source, const Rgb* entries, int count,
                            int transparentIndex) {
  IndexedImage& image = *block.indexedImage;
  const Rgb* srcEntries = source ? source->data() : nullptr;
  const int srcCount = source ? source->count() : 0;
  const size_t stride = image.stride();
  const int t = block.transparentIndex;
  if (transparentIndex >= 0) {
    if (!DitherIndexedRows(image.pixels.data(), stride, image.pixels.data(), stride, srcEntries, srcCount,
                           image.width, image.height, t, transparentIndex))
      return false;
    SetTransparentIndex(block, transparentIndex);
    return true;
  }

  // The old pixels are still needed after dithering to find the transparent ones again.
  const Rgb oldColour = (source && t < srcCount) ? srcEntries[t] : Rgb{};
  int chosen = NearestByDistance(entries, count, oldColour).index;
  PixelBytes out;
  try {
    out.assign(image.pixels.size(), 0);
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryDithering);
    return false;
  }
  bool used[256] = {};
  if (!DitherIndexedRows(out.data(), stride, image.pixels.data(), stride, srcEntries, srcCount, image.width,
                         image.height, t, chosen, used))
    return false;
  if (used[chosen]) {
    // An opaque pixel landed on the chosen entry: it would turn see-through. Another entry
    // that no opaque pixel of this frame uses keeps the two apart; when the frame shows
    // every entry, the least-used one is emptied into its nearest neighbour.
    EntryUse use{};
    for (int y = 0; y < image.height; ++y) {
      const uint8_t* s = image.row(y);
      const uint8_t* d = out.data() + size_t(y) * stride;
      for (int x = 0; x < image.width; ++x)
        if (s[x] != t) ++use[d[x]];
    }
    int free = UnusedEntry(use, count);
    if (free < 0) {
      free = LeastUsedEntry(use, count);
      const uint8_t moved = static_cast<uint8_t>(NearestOtherEntry(entries, count, entries[free], free));
      for (int y = 0; y < image.height; ++y) {
        const uint8_t* s = image.row(y);
        uint8_t* d = out.data() + size_t(y) * stride;
        for (int x = 0; x < image.width; ++x)
          if (s[x] != t && d[x] == free) d[x] = moved;
      }
    }
    for (int y = 0; y < image.height; ++y) {
      const uint8_t* s = image.row(y);
      uint8_t* d = out.data() + size_t(y) * stride;
      for (int x = 0; x < image.width; ++x)
        if (s[x] == t) d[x] = static_cast<uint8_t>(free);
    }
    chosen = free;
  }
  image.pixels.swap(out);
  SetTransparentIndex(block, chosen);
  return true;
}

bool DitherFrame(ImageBlock& block, const Palette* source, const Rgb* entries, int count, int transparentIndex) {
  IndexedImage& image = *block.indexedImage;
  if (!block.transparent())
    return DitherIndexedRows(image.pixels.data(), image.stride(), image.pixels.data(), image.stride(),
                             source ? source->data() : nullptr, source ? source->count() : 0, image.width,
                             image.height);
  const bool done = DitherTransparentFrame(block, source, entries, count, transparentIndex);
  // The display mask follows the new pixels; the caller writes the colour table.
  RefreshDisplayMask(block);
  return done;
}

}  // namespace

bool DitherDocumentBlocks(AnimHeader& document, const Rgb* entries, int count, int transparentIndex,
                          Progress* progress, bool exact) {
  int widest = 1;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    widest = std::max({widest, f->width, f->left + f->width, f->indexedImage ? f->indexedImage->width : 0});
  if (!PrepareDithering(entries, MapCount(count, transparentIndex), widest, exact)) return false;

  const Palette* old = document.globalPalette.get();
  if (old && document.backgroundIndex < old->count())
    document.backgroundIndex =
        static_cast<uint8_t>(NearestByDistance(entries, count, (*old)[document.backgroundIndex]).index);

  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (f->localPalette || !f->indexedImage) continue;
    if (!DitherFrame(*f, old ? old : f->activePalette, entries, count, transparentIndex)) return false;
    StepProgress(progress);
  }
  return true;
}

bool DitherBlock(ImageBlock& block, const Rgb* entries, int count, int transparentIndex, bool exact) {
  if (!block.indexedImage) return true;
  if (!PrepareDithering(entries, MapCount(count, transparentIndex), block.indexedImage->width, exact)) return false;
  return DitherFrame(block, block.activePalette, entries, count, transparentIndex);
}

}  // namespace fw
