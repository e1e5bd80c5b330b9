#pragma once
// BI_RLE8, the run-length coding of 8-bit bitmaps in DIBs and AVI streams: rows bottom-up,
// runs of one index, literal stretches, and skips over pixels the previous picture already
// shows.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fw {

// `pixels` are top-down rows of `stride` bytes. With `previous` (same layout) the result only
// redraws what changed (a delta frame); without it every pixel is coded (a key frame).
std::vector<uint8_t> EncodeRle8(const uint8_t* pixels, size_t stride, int width, int height,
                                const uint8_t* previous = nullptr);

}  // namespace fw
