#include "imaging/display_psnr.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "core/compositor.h"
#include "core/indexed_image.h"

namespace fw {
namespace {

// Screen pixels of `from` picked for each of `to` positions, as nearest-pixel scaling does.
std::vector<int> PickMap(int to, int from) {
  std::vector<int> map(static_cast<size_t>(std::max(to, 0)));
  for (int i = 0; i < to; ++i)
    map[static_cast<size_t>(i)] = std::min(from - 1, static_cast<int>(int64_t{i} * from / std::max(to, 1)));
  return map;
}

uint64_t SquaredError(const ImageBlock& a, const ImageBlock& b, int width, int height, const std::vector<int>& xs,
                      const std::vector<int>& ys) {
  uint64_t sum = 0;
  const size_t strideA = Stride24(a.width), strideB = Stride24(b.width);
  for (int y = 0; y < height; ++y) {
    const uint8_t* rowA = a.trueColour.data() + static_cast<size_t>(y) * strideA;
    const uint8_t* rowB = b.trueColour.data() + static_cast<size_t>(ys[static_cast<size_t>(y)]) * strideB;
    for (int x = 0; x < width; ++x) {
      const uint8_t* pa = rowA + 3 * static_cast<size_t>(x);
      const uint8_t* pb = rowB + 3 * static_cast<size_t>(xs[static_cast<size_t>(x)]);
      for (int c = 0; c < 3; ++c) {
        const int d = pa[c] - pb[c];
        sum += static_cast<uint64_t>(d * d);
      }
    }
  }
  return sum;
}

}  // namespace

double DisplayedPsnr(const AnimHeader& original, const AnimHeader& candidate, const std::function<bool()>& going) {
  Compositor ours(original, true), theirs(candidate, true);
  const ImageBlock* a = ours.first();
  const ImageBlock* b = theirs.first();
  if (!a || !b) return -1;
  const int width = std::min(original.screenWidth, a->width);
  const int height = std::min(original.screenHeight, a->height);
  const std::vector<int> xs = PickMap(width, std::max(1, std::min(candidate.screenWidth, b->width)));
  const std::vector<int> ys = PickMap(height, std::max(1, std::min(candidate.screenHeight, b->height)));

  // Start times in document ticks: of the original frame on show, and of the candidate's next.
  int64_t now = 0;
  int shownB = 0;
  int64_t nextB = std::max(0, theirs.currentFrame()->delay);
  long double total = 0;
  int64_t pictures = 0;
  for (; a; a = ours.next()) {
    if (going && !going()) return -1;
    while (shownB + 1 < candidate.frameCount && nextB <= now) {
      b = theirs.next();
      if (!b) return -1;
      ++shownB;
      nextB += std::max(0, theirs.currentFrame()->delay);
    }
    total += static_cast<long double>(SquaredError(*a, *b, width, height, xs, ys));
    ++pictures;
    now += std::max(0, ours.currentFrame()->delay);
  }
  const long double samples = static_cast<long double>(pictures) * width * height * 3;
  if (samples <= 0) return -1;
  const long double mse = total / samples;
  if (mse <= 0) return kIdenticalPsnr;
  return std::min(kIdenticalPsnr, static_cast<double>(10 * std::log10(255.0L * 255.0L / mse)));
}

}  // namespace fw
