#pragma once
// The largest single picture a reader decodes. A few kilobytes of compressed data can claim
// a picture of billions of pixels (a decompression bomb); such a picture would take gigabytes
// and minutes before anything is shown. In the window the user is asked whether to read it
// anyway; elsewhere (batch runs) it is refused with a message naming the numbers, unless the
// limit (a preference) has been raised.
#include <cstdint>
#include <functional>
#include <string>

namespace fw {

inline constexpr int64_t kDefaultPicturePixelLimit = int64_t{256} * 1000 * 1000;

int64_t PicturePixelLimit();
void SetPicturePixelLimit(int64_t pixels);

// Asked with the question's text; true reads the picture anyway. Without an asker the picture
// is refused.
using PictureLimitAsker = std::function<bool(const std::string& question)>;
void SetPictureLimitAsker(PictureLimitAsker asker);

// True when a picture of width x height is within the limit or the user chose to read it
// anyway; otherwise the refusal has been shown.
bool PictureWithinLimit(int64_t width, int64_t height);

}  // namespace fw
