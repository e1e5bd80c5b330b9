#pragma once
// What the screen shows beneath an image, as indexes of the image's own palette: where a pixel
// changes nothing it may draw that colour or be transparent alike.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/anim_document.h"
#include "imaging/optimize_screen.h"

namespace fw {

// One byte per image pixel in the image's row layout (Stride8(width)): under an unchanged pixel
// holding `fill`, the first palette index other than the transparent one whose colour the
// screen shows there; everywhere else, and where the screen shows no colour the palette has
// (background, unknown), the pixel's own index. A substitution only ever asks what is shown
// under the pixels that hold its fill index, so the screen is looked up nowhere else.
// `changed` is the screen's changed plane for the image as it lies now (rows of `stride`).
std::vector<uint8_t> ShownIndexes(const OptimizeScreen& screen, const ImageBlock& image, const uint8_t* changed,
                                  size_t stride, int fill);

}  // namespace fw
