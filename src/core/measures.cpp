// Sizes, durations and colour counts over a whole document.
#include <algorithm>
#include <climits>

#include "core/anim_document.h"
#include "core/preferences.h"

namespace fw {

Extent ImageExtent(const AnimHeader& header) {
  Extent e;
  for (ImageBlock* f = FirstImage(&header); f; f = NextImage(f)) {
    e.right = std::max(e.right, f->left + f->width);
    e.bottom = std::max(e.bottom, f->top + f->height);
  }
  return e;
}

Bounds ImageBounds(const AnimHeader& header) {
  ImageBlock* f = FirstImage(&header);
  if (!f) return {};
  Bounds b{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
  for (; f; f = NextImage(f)) {
    b.left = std::min(b.left, f->left);
    b.top = std::min(b.top, f->top);
    b.right = std::max(b.right, f->left + f->width);
    b.bottom = std::max(b.bottom, f->top + f->height);
  }
  return b;
}

int64_t TotalDuration(const AnimHeader& header) {
  int64_t total = 0;
  for (ImageBlock* f = FirstImage(&header); f; f = NextImage(f)) total += f->delay;
  return total;
}

void RescaleDelays(AnimHeader& header, int newBase) {
  const int64_t oldBase = Prefs().timeBase();
  for (ImageBlock* f = FirstImage(&header); f; f = NextImage(f))
    f->delay = static_cast<int32_t>(newBase * static_cast<int64_t>(f->delay) / oldBase);
}

void CountIndexes(const ImageBlock& frame, int32_t* counters, bool clear) {
  if (clear) std::fill(counters, counters + 256, 0);
  if (!frame.indexedImage) return;
  const IndexedImage& image = *frame.indexedImage;
  // Four sub-tables break the store-to-load dependency on runs of one index.
  int32_t partial[4][256] = {};
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = image.row(y);
    int x = 0;
    for (; x + 4 <= image.width; x += 4) {
      ++partial[0][row[x]];
      ++partial[1][row[x + 1]];
      ++partial[2][row[x + 2]];
      ++partial[3][row[x + 3]];
    }
    for (; x < image.width; ++x) ++partial[0][row[x]];
  }
  for (int i = 0; i < 256; ++i) counters[i] += partial[0][i] + partial[1][i] + partial[2][i] + partial[3][i];
}

void CountVisibleIndexes(const ImageBlock& frame, int32_t* counters, bool clear) {
  if (clear) std::fill(counters, counters + 256, 0);
  if (!frame.indexedImage) return;
  if (!frame.transparent()) {
    CountIndexes(frame, counters, false);
    return;
  }
  int32_t all[256];
  CountIndexes(frame, all, true);
  all[frame.transparentIndex] = 0;
  for (int i = 0; i < 256; ++i) counters[i] += all[i];
}

void ComputeColourUsage(AnimHeader& header, int32_t* table, bool clear, const std::function<bool()>& shouldStop) {
  if (clear) std::fill(table, table + 256, 0);
  if (!header.globalPalette) return;
  for (ImageBlock* f = FirstImage(&header); f; f = NextImage(f)) {
    if (shouldStop && shouldStop()) return;
    if (!f->localPalette) CountIndexes(*f, table, false);
  }
}

void ComputeVisibleColourUsage(const AnimHeader& header, int32_t* table, bool clear) {
  if (clear) std::fill(table, table + 256, 0);
  if (!header.globalPalette) return;
  for (ImageBlock* f = FirstImage(&header); f; f = NextImage(f))
    if (!f->localPalette) CountVisibleIndexes(*f, table, false);
}

void SingleFrameDisposal(AnimHeader& header) {
  ImageBlock* f = FirstImage(&header);
  if (header.frameCount == 1 && f && f->transparent()) SetDisposal(*f, kDisposalBackground);
}

// Time bases that divide 100 convert with whole GIF ticks per unit; finer bases (a
// millisecond base, say) would make that unit 0, so they scale instead.
int32_t GifDelayToDocument(int gifDelay, int timeBase) {
  if (timeBase <= 0) return gifDelay;
  if (100 % timeBase == 0) return gifDelay / (100 / timeBase);
  return static_cast<int32_t>(int64_t{gifDelay} * timeBase / 100);
}

int GifDelayFromDocument(int32_t delay, int timeBase) {
  if (timeBase <= 0) return delay;
  if (100 % timeBase == 0) return (100 / timeBase) * delay;
  return static_cast<int>(int64_t{delay} * 100 / timeBase);
}

std::string_view BaseName(std::string_view path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string_view Extension(std::string_view path) {
  const std::string_view base = BaseName(path);
  const size_t dot = base.rfind('.');
  return dot == std::string_view::npos ? std::string_view{} : base.substr(dot + 1);
}

}  // namespace fw
