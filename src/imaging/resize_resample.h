#pragma once
// The separable two-pass bicubic resampler over raw planes: rows top-down with 4-byte
// strides, 24-bit pixels blue, green, red; masks 8-bit with 0 meaning transparent.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "imaging/resize_kernel.h"

namespace fw {

struct ConstPlane {
  const uint8_t* rows = nullptr;
  size_t stride = 0;
};
struct Plane {
  uint8_t* rows = nullptr;
  size_t stride = 0;
};

// Working rows between the passes (new width, old height), kept by the caller so that a run
// over many frames allocates them once.
struct ResampleScratch {
  std::vector<uint8_t> colour;
  std::vector<uint8_t> mask;
};

// Resamples a 24-bit picture `sh` rows high into dw columns and as many rows as the row
// table has entries (column table of dw entries built for the source width, row table built
// for sh). With `mask`,
// transparent pixels never contribute colour: a destination whose centre tap is transparent
// takes the centre's colour and stays transparent, otherwise transparent taps count as the
// centre pixel; `destMask` (required then) receives 0 or 255. Throws std::bad_alloc.
void ResampleColour(ConstPlane source, ConstPlane mask, int sh, Plane dest, Plane destMask, int dw,
                    const std::vector<CubicTaps>& columns, const std::vector<CubicTaps>& rows,
                    ResampleScratch& scratch);

// The same for one 8-bit channel without any transparency rule (alpha planes).
void ResampleChannel(ConstPlane source, int sh, Plane dest, int dw,
                     const std::vector<CubicTaps>& columns, const std::vector<CubicTaps>& rows,
                     ResampleScratch& scratch);

}  // namespace fw
