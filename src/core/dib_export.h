#pragma once
// A frame as a packed device-independent bitmap, the picture the clipboard carries beside the
// transfer record.
#include <cstdint>
#include <vector>

#include "core/anim_document.h"

namespace fw {

// 40-byte header (bottom-up, 8 bits, uncompressed, colours used = entries of the palette in
// effect), that many colour entries (blue, green, red, 0), then the rows bottom-up with 4-byte
// strides. Empty for an index without a frame; empty with message 40194 without memory.
std::vector<uint8_t> ExportDib(const AnimHeader& document, int frameIndex);

}  // namespace fw
