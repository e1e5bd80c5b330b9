#pragma once
// Windows icons and cursors (.ico, .cur): a directory of images, each a DIB with a 1-bit AND
// mask or a PNG stream. Every image becomes one frame; writing makes one image per frame.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/load_result.h"

namespace fw {

inline constexpr int kIconTypeIcon = 1;
inline constexpr int kIconTypeCursor = 2;

// The unnumbered texts of the icon reader and writer.
namespace icon_text {
inline constexpr const char* kHeader = "error reading ICON header";
inline constexpr const char* kNotIcon = "Res type not an ICON/CURSOR";
inline constexpr const char* kEntries = "error reading IconRes blocks";
inline constexpr const char* kShortData = "Trouble reading icon data.";
inline constexpr const char* kUnexpected = "Unexpected format for an icon image.";
inline constexpr const char* kWriteBits = "Error writing out icon bits";
inline constexpr const char* kDuplicateCaption = "Duplicate Resolutions";
inline constexpr const char* kDuplicateIntro = "The following resolutions are duplicated (please delete all duplicates):";
}  // namespace icon_text

// 1 with a document (one frame per directory entry that could be read), or 0 after its
// message. The frames keep their own palettes as local palettes.
LoadResult ReadIconFile(const std::string& path);
LoadResult ReadIconMemory(const uint8_t* data, size_t size);

// One icon DIB (header, colour table, XOR pixels, AND mask) of `size` bytes as a frame whose
// picture is `height` rows high (half the header's height when the mask follows). nullptr when
// the DIB cannot be read (a message is shown for what the DIB reader refuses).
ImagePtr IconImageToFrame(const uint8_t* dib, size_t size, int height);

// The image data of one directory entry (DIB or PNG) as a frame; `colourCount` and `bitCount`
// come from the entry (an icon's PNG with a colour count or fewer than 16 bits is reduced to a
// palette). Cursor entries have no bit count: they pass kUnknownIconBits. nullptr after a
// message.
inline constexpr int kUnknownIconBits = 32;
ImagePtr IconEntryToFrame(const uint8_t* data, size_t size, int colourCount, int bitCount);

// Writes every frame as one image of an icon (`type` 1) or cursor (2) file. 1 on success; 0
// when the directory would hold duplicate resolutions (the list is shown) or a write fails.
int WriteIconFile(const std::string& path, const AnimHeader& document, int type);

// --- shared with the animated-cursor writer ---
// What a frame is written as: the DIB's pixel depth (1, 4, 8, 24 or 32), and the bit count
// and colour count its directory entry shows.
struct IconDepth {
  int pixelBits = 8;
  int entryBits = 8;
  int colourCount = 0;
};
IconDepth ChooseIconDepth(const ImageBlock& frame);
// The DIB of a frame at the given pixel depth: header with the doubled height, colour table,
// XOR rows bottom-up and the AND mask.
std::vector<uint8_t> MakeIconDib(const ImageBlock& frame, int pixelBits);
// Bytes MakeIconDib produces.
size_t IconDibSize(int width, int height, int pixelBits);

}  // namespace fw
