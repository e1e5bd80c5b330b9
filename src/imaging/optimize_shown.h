#pragma once
// What the screen shows beneath an image, as indexes of the image's own palette: where a pixel
// changes nothing it may draw that colour or be transparent alike.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/anim_document.h"
#include "imaging/optimize_screen.h"

namespace fw {

// One byte per image pixel in the image's row layout (Stride8(width)): the first palette index
// other than the transparent one whose colour the screen shows there, or the image's own index
// where the pixel is kept or the screen shows no colour the palette has (background, unknown).
// `changed` is the screen's changed plane for the image as it lies now (rows of `stride`).
std::vector<uint8_t> ShownIndexes(const OptimizeScreen& screen, const ImageBlock& image, const uint8_t* changed,
                                  size_t stride);

}  // namespace fw
