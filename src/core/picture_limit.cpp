#include "core/picture_limit.h"

#include <atomic>

#include "core/message_sink.h"

namespace fw {
namespace {
std::atomic<int64_t> g_limit{kDefaultPicturePixelLimit};
}

int64_t PicturePixelLimit() { return g_limit.load(); }
void SetPicturePixelLimit(int64_t pixels) { g_limit.store(pixels); }

bool PictureWithinLimit(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0 || width <= PicturePixelLimit() / height) return true;
  ShowText("The picture is %lld x %lld pixels (%lld million), more than the %lld million pixels a picture may have; it was not read.",
           static_cast<long long>(width), static_cast<long long>(height),
           static_cast<long long>(width * height / 1000000), static_cast<long long>(PicturePixelLimit() / 1000000));
  return false;
}

}  // namespace fw
