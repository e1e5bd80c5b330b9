#pragma once
// The largest single picture a reader decodes. A few kilobytes of compressed data can claim
// a picture of billions of pixels (a decompression bomb); such a picture would take gigabytes
// and minutes before anything is shown, so it is refused with a message naming the numbers.
#include <cstdint>

namespace fw {

inline constexpr int64_t kDefaultPicturePixelLimit = int64_t{256} * 1000 * 1000;

int64_t PicturePixelLimit();
void SetPicturePixelLimit(int64_t pixels);
// True when a picture of width x height is within the limit; otherwise shows the refusal.
bool PictureWithinLimit(int64_t width, int64_t height);

}  // namespace fw
