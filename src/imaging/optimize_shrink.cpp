// Shrinking palettes to the entries the pixels use.
#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <vector>

#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/optimize.h"
#include "imaging/optimize_palette.h"
#include "imaging/remap.h"

namespace fw {
namespace {

// Keeps the used entries in their order and pads them with black to a power of two (at least
// two). False when that would not make the stored table smaller: a GIF colour table always
// takes a power of two entries, so dropping fewer entries than that gains nothing.
bool CompactionTable(const Palette& palette, const int32_t* usage, RemapTable& table, std::vector<Rgb>& entries) {
  const int n = palette.count();
  // Pixels beyond the palette show whatever the file's padding holds; renumbering could
  // not keep that.
  for (int i = n; i < 256; ++i)
    if (usage[i] > 0) return false;
  table.fill(-1);
  entries.clear();
  for (int i = 0; i < n; ++i) {
    if (usage[i] <= 0) continue;
    table[size_t(i)] = static_cast<int16_t>(entries.size());
    entries.push_back(palette[i]);
  }
  if (static_cast<int>(entries.size()) == n) return false;
  size_t size = 2;
  while (size < entries.size()) size *= 2;
  if (PaletteBits(static_cast<int>(size)) >= PaletteBits(n)) return false;
  entries.resize(size, Rgb{});
  return true;
}

// Which global palette entries each image uses, and how many pixels it has.
struct ImageColours {
  std::bitset<256> used;
  int64_t pixels = 0;
};

// The code size each image starts from, weighed by the codes that size affects (a wider
// start costs a bit a code until the table outgrows it), for entries numbered by `rank`.
int StartingBits(const ImageColours& image, const std::array<int, 256>& rank) {
  int highest = 0;
  for (int i = 0; i < 256; ++i)
    if (image.used[size_t(i)]) highest = std::max(highest, rank[size_t(i)]);
  int bits = 2;
  while (bits < 8 && highest >= (1 << bits)) ++bits;
  return bits;
}

int64_t StartingCodeBits(const std::vector<ImageColours>& images, const std::array<int, 256>& rank) {
  int64_t total = 0;
  for (const ImageColours& image : images) total += StartingBits(image, rank) * std::min<int64_t>(image.pixels, 512);
  return total;
}

// Whether the two orders start every image that could fill its LZW table from the same code
// size. Once a table fills, when to clear it is judged against how the fill went, which the
// starting size changes: a narrower start can make such an image larger.
bool SameStartForImagesThatMayFill(const std::vector<ImageColours>& images, const std::array<int, 256>& a,
                                   const std::array<int, 256>& b) {
  // Every code covers a pixel at least, and fewer codes than this never fill a table.
  constexpr int64_t kFewestPixelsToFill = 4096 - 256 - 2;
  return std::all_of(images.begin(), images.end(), [&](const ImageColours& image) {
    return image.pixels < kFewestPixelsToFill || StartingBits(image, a) == StartingBits(image, b);
  });
}

// The used entries in the order of how many images use them (ties keep their order): images
// drawn from the common colours code narrow.
std::vector<int> ByImagesUsing(std::vector<int> used, const std::vector<ImageColours>& images) {
  std::array<int, 256> imagesUsing{};
  for (const ImageColours& image : images)
    for (int i = 0; i < 256; ++i) imagesUsing[size_t(i)] += image.used[size_t(i)];
  std::stable_sort(used.begin(), used.end(), [&](int a, int b) { return imagesUsing[size_t(a)] > imagesUsing[size_t(b)]; });
  return used;
}

// The used entries image by image, those of the images with fewest colours first: each such
// image then codes as narrow as its own colours allow, where counting images would put a few
// colours of a small image, used by little else, behind every common one.
std::vector<int> ByImagesOfFewestColours(const std::vector<int>& inCommonOrder, const std::vector<ImageColours>& images) {
  std::vector<size_t> order(images.size());
  for (size_t k = 0; k < order.size(); ++k) order[k] = k;
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    const size_t ca = images[a].used.count(), cb = images[b].used.count();
    return ca != cb ? ca < cb : images[a].pixels > images[b].pixels;
  });
  std::vector<int> placed;
  std::bitset<256> done;
  for (const size_t k : order)
    for (const int i : inCommonOrder)
      if (images[k].used[size_t(i)] && !done[size_t(i)]) {
        done.set(size_t(i));
        placed.push_back(i);
      }
  // Every used entry is some image's; should one not be, it still gets a place.
  for (const int i : inCommonOrder)
    if (!done[size_t(i)]) placed.push_back(i);
  return placed;
}

std::array<int, 256> RanksOf(const std::vector<int>& order) {
  std::array<int, 256> rank{};
  for (size_t k = 0; k < order.size(); ++k) rank[size_t(order[k])] = static_cast<int>(k);
  return rank;
}

// With narrow code sizes a frame's codes start as wide as its highest index needs: the used
// entries go first, in whichever of the orders above narrows the images' codes most, and only
// where that is narrower than the entries' own order. False when that changes nothing.
bool FrameUseOrderTable(const Palette& palette, const int32_t* usage, const std::vector<ImageColours>& images,
                        RemapTable& table, std::vector<Rgb>& entries) {
  const int n = palette.count();
  for (int i = n; i < 256; ++i)
    if (usage[i] > 0) return false;
  std::vector<int> used;
  for (int i = 0; i < n; ++i)
    if (usage[i] > 0) used.push_back(i);
  int64_t best = StartingCodeBits(images, RanksOf(used));
  std::vector<int> chosen;
  const std::vector<int> common = ByImagesUsing(used, images);
  if (const int64_t bits = StartingCodeBits(images, RanksOf(common)); bits < best) {
    best = bits;
    chosen = common;
  }
  std::vector<int> fewestFirst = ByImagesOfFewestColours(common, images);
  if (SameStartForImagesThatMayFill(images, RanksOf(common), RanksOf(fewestFirst)) &&
      StartingCodeBits(images, RanksOf(fewestFirst)) < best)
    chosen = std::move(fewestFirst);
  if (chosen.empty()) return false;
  table.fill(-1);
  entries.clear();
  for (const int i : chosen) {
    table[size_t(i)] = static_cast<int16_t>(entries.size());
    entries.push_back(palette[i]);
  }
  size_t size = 2;
  while (size < entries.size()) size *= 2;
  entries.resize(size, Rgb{});
  return true;
}

// The global palette's usage, and the entries each image using it draws with.
std::vector<ImageColours> CountGlobalUsage(AnimHeader& document, int32_t* usage) {
  std::fill(usage, usage + 256, 0);
  std::vector<ImageColours> images;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (f->localPalette) continue;
    int32_t counts[256];
    CountIndexes(*f, counts, true);
    ImageColours& image = images.emplace_back();
    image.pixels = static_cast<int64_t>(f->pixelCount());
    for (int i = 0; i < 256; ++i) {
      usage[i] += counts[i];
      image.used[size_t(i)] = counts[i] > 0;
    }
  }
  return images;
}

void MoveCounts(int32_t* usage, const RemapTable& table) {
  int32_t moved[256] = {};
  for (size_t i = 0; i < 256; ++i)
    if (table[i] >= 0) moved[table[i]] += usage[i];
  std::copy(moved, moved + 256, usage);
}

void ShrinkGlobalPalette(AnimHeader& document, Progress* progress, bool& changed, bool byImagesUsing) {
  if (!document.globalPalette) return;
  // The stored table may be stale (the usage worker counts in the background): count afresh.
  const std::vector<ImageColours> images = CountGlobalUsage(document, document.colourUsage.data());
  RemapTable table;
  std::vector<Rgb> entries;
  const int32_t* usage = document.colourUsage.data();
  // Where reordering does not pay, dropping unused entries still may.
  if (!((byImagesUsing && FrameUseOrderTable(*document.globalPalette, usage, images, table, entries)) ||
        CompactionTable(*document.globalPalette, usage, table, entries)))
    return;
  std::unique_ptr<Palette> palette = Palette::Create(entries.data(), static_cast<int>(entries.size()));
  if (!palette) return;
  SetProgressText(progress, MessageText(optimize_msg::kShrinkingGlobalPalette));
  StartProgress(progress, document.frameCount);
  // Every global-palette image moves, even if a stop is requested meanwhile: images left on
  // the old numbering would show wrong colours.
  const bool asGiven = ApplyRemapAvoidingCollisions(document, table, *palette, progress);
  MoveBackground(document, table);
  SetGlobalPalette(document, std::move(palette));
  // Where every pixel moved by the table, the counts move with it; counting again would read
  // every pixel of the animation once more.
  if (asGiven) {
    MoveCounts(document.colourUsage.data(), table);
  } else {
    ComputeColourUsage(document, document.colourUsage.data(), true);
  }
  changed = true;
}

bool ShrinkLocalPalettes(AnimHeader& document, Progress* progress, bool& changed) {
  bool any = false;
  for (const ImageBlock* f = FirstImage(&document); f && !any; f = NextImage(f)) any = f->localPalette != nullptr;
  if (!any) return true;
  SetProgressText(progress, MessageText(optimize_msg::kShrinkingLocalPalettes));
  StartProgress(progress, document.frameCount);
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (f->localPalette && f->indexedImage) {
      int32_t counts[256];
      CountIndexes(*f, counts, true);  // the transparent pixels too: their index must stay
      RemapTable table;
      std::vector<Rgb> entries;
      if (CompactionTable(*f->localPalette, counts, table, entries)) {
        if (std::unique_ptr<Palette> palette = Palette::Create(entries.data(), static_cast<int>(entries.size()))) {
          SetLocalPalette(*f, std::move(palette));
          ApplyRemapTable(*f, *f->localPalette, &table);
          changed = true;
        }
      }
    }
    if (!StepProgress(progress)) return false;
  }
  return true;
}

}  // namespace

bool ShrinkPalettes(AnimHeader& document, Progress* progress, bool& changed, bool narrowCodes) {
  ShrinkGlobalPalette(document, progress, changed, narrowCodes);
  if (progress && !ProgressContinues()) return false;
  return ShrinkLocalPalettes(document, progress, changed);
}

}  // namespace fw
