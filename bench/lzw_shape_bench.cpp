// LZW encoding time by the shape of a picture: the same pixels as one very wide row and as a
// tall block of 4096-pixel rows. The encoder's work should depend on the pixels, not on how
// they are arranged, so the wide/tall ratio should stay near 1 at every size, and each size
// should take about twice the time of the one before (linear growth).
//
// Two contents: one index everywhere (the longest possible runs, what a blank wide BMP
// gives) and runs of random lengths 1-64 of random indexes (a banded picture).
//
// Usage: lzw_shape_bench [largest pixel count, default 16777216]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/indexed_image.h"
#include "gif/byte_sink.h"
#include "gif/lzw_encoder.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<uint8_t> Content(int64_t pixels, bool banded) {
  std::vector<uint8_t> p(static_cast<size_t>(pixels), 7);
  if (!banded) return p;
  std::mt19937 random(12345);
  for (size_t i = 0; i < p.size();) {
    const size_t run = 1 + random() % 64;
    const uint8_t index = static_cast<uint8_t>(random());
    for (size_t k = 0; k < run && i < p.size(); ++k) p[i++] = index;
  }
  return p;
}

std::unique_ptr<fw::IndexedImage> Shape(const std::vector<uint8_t>& pixels, int width) {
  const int height = static_cast<int>(pixels.size() / static_cast<size_t>(width));
  auto image = std::make_unique<fw::IndexedImage>();
  image->width = width;
  image->height = height;
  image->pixels.resize(image->stride() * static_cast<size_t>(height), 0);
  for (int y = 0; y < height; ++y)
    std::copy_n(pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width), width, image->row(y));
  return image;
}

// Best of a few runs, in seconds; also returns the encoded byte count.
double Encode(const fw::IndexedImage& image, int64_t& bytes) {
  double best = 1e30;
  for (int run = 0; run < 3; ++run) {
    fw::CountingSink sink;
    const auto start = Clock::now();
    if (!fw::ThreadLzwEncoder().encode(sink, image, image.width, image.height, false, 8)) {
      std::fprintf(stderr, "lzw_shape_bench: encoding failed\n");
      std::exit(1);
    }
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
    bytes = sink.total();
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const int64_t largest = argc > 1 ? std::atoll(argv[1]) : int64_t{1} << 24;
  constexpr int kTallWidth = 4096;
  std::printf("%-7s %10s %10s %10s %11s %12s\n", "content", "pixels", "wide ms", "tall ms", "wide/tall",
              "wide growth");
  for (const bool banded : {false, true}) {
    double previousWide = 0;
    for (int64_t pixels = int64_t{1} << 20; pixels <= largest; pixels *= 2) {
      const std::vector<uint8_t> content = Content(pixels, banded);
      int64_t wideBytes = 0, tallBytes = 0;
      const double wide = Encode(*Shape(content, static_cast<int>(pixels)), wideBytes);
      const double tall = Encode(*Shape(content, kTallWidth), tallBytes);
      char growth[32] = "-";
      if (previousWide > 0) std::snprintf(growth, sizeof growth, "%.2f", wide / previousWide);
      std::printf("%-7s %10lld %10.2f %10.2f %11.2f %12s\n", banded ? "banded" : "blank",
                  static_cast<long long>(pixels), wide * 1e3, tall * 1e3, wide / tall, growth);
      previousWide = wide;
    }
  }
  return 0;
}
