#pragma once
// Device-independent bitmaps (a 40-byte info header, an optional colour table and pixel rows,
// as BMP files, icon entries and the clipboard hold them) and the frames they become.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "core/anim_document.h"

namespace fw {

inline constexpr size_t kDibHeaderBytes = 40;

struct DibHeader {
  uint32_t size = kDibHeaderBytes;
  int32_t width = 0;
  int32_t height = 0;  // positive: rows bottom-up
  uint16_t planes = 1;
  uint16_t bitCount = 0;
  uint32_t compression = 0;  // 0 plain, 1 RLE8, 2 RLE4, 3 bit fields
  uint32_t sizeImage = 0;
  int32_t xPelsPerMeter = 0;
  int32_t yPelsPerMeter = 0;
  uint32_t clrUsed = 0;
  uint32_t clrImportant = 0;
};

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// Reads the 40 bytes at p (the caller has checked there are that many).
DibHeader ParseDibHeader(const uint8_t* p);
void StoreDibHeader(const DibHeader& header, uint8_t* p);

// Bytes of one stored row for any bit count (rows end on 4-byte boundaries).
size_t DibStride(int width, int bitCount);
// Colour-table entries the header announces: the used-colour count, or 2^bits below 16 bits
// when that count is 0.
uint32_t DibTableEntries(const DibHeader& header);

// A one-frame document from a packed DIB of `size` bytes. `pixelOffset` counts from the start
// of the header; 0 means the pixels follow the colour table (and the bit-field masks). Shows
// its message and returns nullptr for what it does not support; a failed allocation returns
// nullptr without one. Pixel data that ends early reads as zeros, and `pixelsCut` (when given)
// says whether it did.
AnimPtr DibToDocument(const uint8_t* dib, size_t size, size_t pixelOffset, bool* pixelsCut = nullptr);

// --- helpers shared by the writers of bitmaps in other containers ---
// Turns the rows over in place: 24-bit rows are (width*3+3)/4*4 bytes, 32-bit width*4,
// anything else (width+3)/4*4.
void FlipDibRows(uint8_t* pixels, int width, int height, int bitCount);
// Copies `height` rows of `rowBytes`, turned over when asked.
void CopyDibRows(uint8_t* to, const uint8_t* from, size_t rowBytes, int height, bool turnOver);
// 8-bit rows through a 256-entry colour table (0x00RRGGBB) into blue, green, red rows.
void ExpandIndexedRows(const uint8_t* indexed, size_t indexedStride, const uint32_t* table, int width, int height,
                       uint8_t* bgr, size_t bgrStride);
// A header for an 8-bit picture with its 256-entry table (the table holds 0..255 when
// `identityTable`, for palette-index colour tables), optionally followed by room for the rows.
std::vector<uint8_t> MakeDib8(int width, int height, const uint32_t* table, bool identityTable, bool withPixels);
std::vector<uint8_t> MakeDib24(int width, int height, bool withPixels);
// The palette of a DIB's colour table (1, 4 and 8-bit only); nullptr otherwise.
std::unique_ptr<Palette> PaletteFromDib(const uint8_t* dib, size_t size);

}  // namespace fw
