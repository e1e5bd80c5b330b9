#pragma once
// Transparency substitution: pixels of an image that repeat what is already on screen may
// become transparent, which often lets LZW encode long runs instead of detail (or, where they
// are transparent already, take back their colour when that encodes smaller).
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/anim_document.h"

namespace fw {

// What the screen shows under the image's pixels that hold `fill` (ShownIndexes), asked for
// once the fill index is known.
using ShownUnder = std::function<std::vector<uint8_t>(int fill)>;

// Which candidates won on the images before. The images of an animation tend to favour the
// same candidates from one to the next, so one that lost on every recent image is only measured
// again now and then: on the first images, on every eighth one, and for eight images after it
// won.
class CandidateHistory {
 public:
  // kAsItIs: the image staying as it came.
  enum Candidate { kEveryUnchanged, kUnchangedRuns, kShownColours, kFillFirst, kColourFirst, kAsItIs, kCount };
  CandidateHistory();
  bool worthMeasuring(Candidate candidate) const;
  // The candidate the image took, or -1 when it stayed as it came.
  void record(int winner);

 private:
  static constexpr int kFirstImages = 4, kEveryImage = 8, kRemembered = 8;
  int image_ = 0;
  std::array<int, kCount> lastWin_;
};

// `changed` has a row of `stride` bytes per image row, 1 where the pixel differs from the
// screen and must stay. Two candidates are measured with the GIF encoder: every unchanged
// pixel transparent, and only the runs of unchanged pixels that would break a run of one
// index. With `shown` more: every unchanged pixel drawn in the colour it shows, transparent
// ones included, and the encoder choosing pixel by pixel between that colour and
// transparency, preferring either. The image takes the smallest one if it encodes smaller
// than now; true when it did. `size`, when given, receives the image's encoded size
// afterwards (0 when it was not measured). With a `history`, candidates that lost on the recent
// images are left out, and the image as it came wins against a candidate that saves less than
// 1/512 of it. The image as it came is measured all the same, unless it lost on the recent
// images too and the best candidate is smaller than `inputSize`, the size the image had before
// the optimization (0 when unknown): it never ends larger than that.
bool SubstituteTransparency(ImageBlock& image, const uint8_t* changed, size_t stride, int64_t* size = nullptr,
                            const ShownUnder& shown = {}, CandidateHistory* history = nullptr,
                            int64_t inputSize = 0);

}  // namespace fw
