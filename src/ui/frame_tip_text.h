#pragma once
// What the frame tip says about a frame, and how large its picture is drawn. No widgets here.
#include <cstdint>
#include <string>

namespace fw {

struct ImageBlock;

// Bits of the frame-tip word: bit 0 turns tips on, the others choose the lines.
namespace tip_item {
inline constexpr uint32_t kOn = 1u << 0;
inline constexpr uint32_t kNumber = 1u << 2;
inline constexpr uint32_t kSize = 1u << 3;
inline constexpr uint32_t kOffset = 1u << 4;
inline constexpr uint32_t kDelay = 1u << 5;
inline constexpr uint32_t kDisposal = 1u << 6;
inline constexpr uint32_t kTransparency = 1u << 7;
inline constexpr uint32_t kPaletteType = 1u << 8;
inline constexpr uint32_t kBitsPerPixel = 1u << 10;
}  // namespace tip_item

// The lines chosen by `items` for the frame at `index` (from 0), joined by line breaks. The
// delay is shown in hundredths of a second whatever the document's time base. A known
// encoded size (`encodedBytes` of 0 or more) adds its own line.
std::string FrameTipText(const ImageBlock& frame, int index, uint32_t items, int timeBase, int64_t encodedBytes = -1);

// The tip's picture: the frame at the largest scale not above 1:1 whose longer side fits in
// 400 pixels.
struct TipPictureSize {
  int width = 0, height = 0;
};
TipPictureSize TipPicture(int frameWidth, int frameHeight);

}  // namespace fw
