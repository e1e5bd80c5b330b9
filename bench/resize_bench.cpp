// Bicubic resampling of one 640 x 480 true-colour frame to half and to double size, as the
// resize command runs it per frame: the two passes over the planes with the weight tables
// already made (they are cached per size for a whole animation). The masked variants carry a
// transparency mask with holes, which takes the per-pixel path that keeps transparent colour
// out of the sums.
//
// Names: bicubic/<from>-><to> and bicubic_masked/<from>-><to>; the MP/s counter counts
// destination pixels.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "core/indexed_image.h"
#include "imaging/resize_kernel.h"
#include "imaging/resize_resample.h"

namespace fw::bench {
namespace {

constexpr int kWidth = 640, kHeight = 480;

// A smooth picture with some grain, so the filter has edges and flats to work on.
const std::vector<uint8_t>& Picture() {
  static const std::vector<uint8_t> picture = [] {
    std::vector<uint8_t> p(Stride24(kWidth) * kHeight);
    std::mt19937 rng(42);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        uint8_t* d = p.data() + y * Stride24(kWidth) + 3 * x;
        const int grain = static_cast<int>(rng() % 32);
        d[0] = static_cast<uint8_t>((x * 255 / kWidth + grain) & 255);
        d[1] = static_cast<uint8_t>((y * 255 / kHeight + grain) & 255);
        d[2] = static_cast<uint8_t>(((x / 40 + y / 40) % 2) * 200 + grain);
      }
    return p;
  }();
  return picture;
}

const std::vector<uint8_t>& Mask() {
  static const std::vector<uint8_t> mask = [] {
    std::vector<uint8_t> m(Stride8(kWidth) * kHeight, 255);
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        if ((x / 16 + y / 16) % 5 == 0) m[y * Stride8(kWidth) + x] = 0;
    return m;
  }();
  return mask;
}

void Bicubic(benchmark::State& state, int dw, int dh, bool masked) {
  const std::vector<CubicTaps> columns = CubicWeightTable(kWidth, dw), rows = CubicWeightTable(kHeight, dh);
  std::vector<uint8_t> out(Stride24(dw) * dh), outMask(Stride8(dw) * dh);
  ResampleScratch scratch;
  const ConstPlane mask = masked ? ConstPlane{Mask().data(), Stride8(kWidth)} : ConstPlane{};
  for (auto _ : state) {
    ResampleColour({Picture().data(), Stride24(kWidth)}, mask, kHeight, {out.data(), Stride24(dw)},
                   {outMask.data(), Stride8(dw)}, dw, columns, rows, scratch);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.counters["MP/s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * dw * dh / 1e6, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(Bicubic, 640x480->320x240, 320, 240, false)->Name("bicubic/640x480->320x240");
BENCHMARK_CAPTURE(Bicubic, 640x480->1280x960, 1280, 960, false)->Name("bicubic/640x480->1280x960");
BENCHMARK_CAPTURE(Bicubic, masked 640x480->320x240, 320, 240, true)->Name("bicubic_masked/640x480->320x240");
BENCHMARK_CAPTURE(Bicubic, masked 640x480->1280x960, 1280, 960, true)->Name("bicubic_masked/640x480->1280x960");

}  // namespace
}  // namespace fw::bench

BENCHMARK_MAIN();
