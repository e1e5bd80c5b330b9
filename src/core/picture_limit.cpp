#include "core/picture_limit.h"

#include <atomic>

#include "core/message_sink.h"

namespace fw {
namespace {
std::atomic<int64_t> g_limit{kDefaultPicturePixelLimit};

PictureLimitAsker& Asker() {
  static PictureLimitAsker asker;
  return asker;
}

long long Millions(int64_t pixels) { return static_cast<long long>(pixels / 1000000); }
}  // namespace

int64_t PicturePixelLimit() { return g_limit.load(); }
void SetPicturePixelLimit(int64_t pixels) { g_limit.store(pixels); }
void SetPictureLimitAsker(PictureLimitAsker asker) { Asker() = std::move(asker); }

bool PictureWithinLimit(int64_t width, int64_t height) {
  if (width <= 0 || height <= 0 || width <= PicturePixelLimit() / height) return true;
  const long long w = static_cast<long long>(width), h = static_cast<long long>(height);
  if (Asker()) {
    // Three bytes a pixel for the colours, and as much again while the file is decoded.
    const long long megabytes = static_cast<long long>(width * height * 6 / (1024 * 1024));
    return Asker()(FormatText("The picture is %lld x %lld pixels (%lld million), more than the %lld million pixels a "
                              "picture may have. Reading it may take about %lld MB of memory and a long time.\n\n"
                              "Read it anyway?",
                              w, h, Millions(width * height), Millions(PicturePixelLimit()), megabytes));
  }
  ShowText("The picture is %lld x %lld pixels (%lld million), more than the %lld million pixels a picture may have; it "
           "was not read (the limit can be raised in the preferences).",
           w, h, Millions(width * height), Millions(PicturePixelLimit()));
  return false;
}

}  // namespace fw
