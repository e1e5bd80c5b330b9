#include "formats/dib.h"


#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <new>

#include "core/picture_limit.h"
#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/read_budget.h"
#include "formats/format_messages.h"

namespace fw {
namespace {

// 5-bit and 6-bit channel values stretched to 8 bits so that full scale is 255, not 248/252.
constexpr uint8_t kScale5[32] = {0,   8,   16,  25,  33,  41,  49,  58,  66,  74,  82,  90,  99,  107, 115, 123,
                                 132, 140, 148, 156, 164, 173, 181, 189, 197, 206, 214, 222, 230, 238, 247, 255};
constexpr uint8_t kScale6[64] = {0,   4,   8,   12,  16,  20,  24,  28,  32,  36,  40,  44,  49,  53,  57,  61,
                                 65,  69,  73,  77,  81,  85,  89,  93,  97,  101, 105, 109, 113, 117, 121, 125,
                                 130, 134, 138, 142, 146, 150, 154, 158, 162, 166, 170, 174, 178, 182, 186, 190,
                                 194, 198, 202, 206, 210, 214, 219, 223, 227, 231, 235, 239, 243, 247, 251, 255};

struct Channel16 {
  uint32_t mask = 0;
  int shift = 0;
  const uint8_t* table = nullptr;
};

constexpr auto kScale4 = [] {
  std::array<uint8_t, 16> t{};
  for (int v = 0; v < 16; ++v) t[static_cast<size_t>(v)] = static_cast<uint8_t>(v * 17);
  return t;
}();

// A 16-bit channel mask must be one run of 4, 5 or 6 bits.
bool MakeChannel16(uint32_t mask, Channel16& out) {
  if (mask == 0 || mask > 0xFFFF) return false;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  const uint32_t run = mask >> shift;
  if ((run & (run + 1)) != 0) return false;  // not contiguous
  int bits = 0;
  while ((run >> bits) & 1) ++bits;
  out.mask = mask;
  out.shift = shift;
  if (bits == 4) {
    out.table = kScale4.data();
  } else if (bits == 5) {
    out.table = kScale5;
  } else if (bits == 6) {
    out.table = kScale6;
  } else {
    return false;
  }
  return true;
}

// 32-bit bit fields are followed where each colour is one run of 8 bits; what the masks
// leave over is the alpha candidate when it too is such a run. Other layouts are refused.
struct Channel32 {
  uint32_t mask = 0;
  int shift = 0;
};

bool EightBitRun(uint32_t mask, Channel32& out) {
  if (mask == 0) return false;
  int shift = 0;
  while (!((mask >> shift) & 1)) ++shift;
  if ((mask >> shift) != 0xFF) return false;
  out = {mask, shift};
  return true;
}

bool Channels32(uint32_t red, uint32_t green, uint32_t blue, Channel32 c[4], bool& hasAlpha) {
  if (!EightBitRun(blue, c[0]) || !EightBitRun(green, c[1]) || !EightBitRun(red, c[2])) return false;
  if ((red & green) || (red & blue) || (green & blue)) return false;
  hasAlpha = EightBitRun(~(red | green | blue), c[3]);
  return true;
}

// Hands out the source rows top-down; rows the data does not cover (fully or partly) come
// back zero-filled instead of reading past the end.
class RowReader {
 public:
  RowReader(const uint8_t* data, size_t size, size_t start, size_t stride, int height, bool bottomUp)
      : data_(data), size_(size), start_(start), stride_(stride), height_(height), bottomUp_(bottomUp),
        scratch_(stride, 0) {}

  const uint8_t* row(int y) {
    const size_t stored = static_cast<size_t>(bottomUp_ ? height_ - 1 - y : y);
    if (start_ <= size_ && stored <= (size_ - start_) / stride_) {
      const size_t at = start_ + stored * stride_;
      const size_t have = std::min(stride_, size_ - at);
      if (have == stride_) return data_ + at;
      std::memcpy(scratch_.data(), data_ + at, have);
      std::fill(scratch_.begin() + static_cast<std::ptrdiff_t>(have), scratch_.end(), 0);
      return scratch_.data();
    }
    std::fill(scratch_.begin(), scratch_.end(), 0);
    return scratch_.data();
  }

 private:
  const uint8_t* data_;
  size_t size_, start_, stride_;
  int height_;
  bool bottomUp_;
  std::vector<uint8_t> scratch_;
};

std::unique_ptr<Palette> TablePalette(const uint8_t* table, size_t entries) {
  std::vector<Rgb> colours(entries);
  for (size_t i = 0; i < entries; ++i) colours[i] = {table[4 * i + 2], table[4 * i + 1], table[4 * i]};
  return Palette::Create(colours.data(), static_cast<int>(entries));
}

// Rows the data does not hold are left blank; they are paid for from the read's budget before
// the picture is made, in proportion to the part of the pixel data that is missing.
bool AdmitPicture(int width, int height, bool indexed, uint64_t present, uint64_t needed) {
  ReadBudgetScope budget;
  if (!budget.admitFrame(int64_t{width} * height)) return false;
  const uint64_t planeBytes = uint64_t{indexed ? Stride8(width) : Stride24(width)} * static_cast<uint64_t>(height);
  const uint64_t backed = present >= needed ? planeBytes : planeBytes / needed * present + planeBytes % needed * present / needed;
  if (budget.admitUnbacked(planeBytes, backed)) return true;
  ReadBudget::refuseUnbacked();
  return false;
}

AnimPtr Convert(const uint8_t* dib, size_t size, size_t pixelOffset, bool* pixelsCut) {
  // The later Windows headers (52, 56, 108 and 124 bytes) begin with the 40-byte one and carry
  // the bit-field masks inside themselves; their colour-space fields change no pixel we store.
  const uint32_t headerBytes = size >= 4 ? Le32(dib) : 0;
  const bool knownHeader = headerBytes == kDibHeaderBytes || headerBytes == 52 || headerBytes == 56 ||
                           headerBytes == 108 || headerBytes == 124;
  if (!knownHeader || size < headerBytes) {
    ShowMessage(fmsg::kImageTypeUnsupported);
    return nullptr;
  }
  const DibHeader h = ParseDibHeader(dib);
  if (h.compression == 1 || h.compression == 2) {
    ShowMessage(fmsg::kBmpRunLength);
    return nullptr;
  }
  const int bits = h.bitCount;
  const bool bitFields = h.compression == 3;
  const bool knownDepth = bits == 1 || bits == 4 || bits == 8 || bits == 16 || bits == 24 || bits == 32;
  if (!knownDepth || (h.compression != 0 && !bitFields) || (bitFields && bits != 16 && bits != 32) ||
      h.width <= 0 || h.height == 0 || h.height == INT_MIN) {
    ShowMessage(fmsg::kImageTypeUnsupported);
    return nullptr;
  }
  const int width = h.width;
  const int height = h.height < 0 ? -h.height : h.height;
  const bool bottomUp = h.height > 0;
  const bool indexed = bits <= 8;
  if (!PictureWithinLimit(width, height)) return nullptr;
  if (!PlaneSizeAllowed(indexed ? Stride8(width) : Stride24(width), static_cast<size_t>(height)) ||
      !PlaneSizeAllowed(DibStride(width, bits), static_cast<size_t>(height))) {
    ShowMessage(fmsg::kBmpNoMemory);
    return nullptr;
  }

  // Masks follow a 40-byte header; the longer headers hold them at the same place.
  const size_t maskBytes = bitFields && headerBytes == kDibHeaderBytes ? 12 : 0;
  if (headerBytes + maskBytes > size) {
    ShowMessage(fmsg::kImageTypeUnsupported);
    return nullptr;
  }
  const uint64_t tableEntries = DibTableEntries(h);
  const size_t tableAt = headerBytes + maskBytes;
  const uint64_t start = pixelOffset ? pixelOffset : tableAt + 4 * tableEntries;
  const size_t stride = DibStride(width, bits);
  RowReader rows(dib, size, start > size ? size + 1 : static_cast<size_t>(start), stride, height, bottomUp);
  // The last row may go without its padding; anything shorter leaves rows blank.
  const uint64_t lastRowBytes = (static_cast<uint64_t>(width) * static_cast<uint64_t>(bits) + 7) / 8;
  if (pixelsCut) *pixelsCut = start + static_cast<uint64_t>(stride) * static_cast<uint64_t>(height - 1) + lastRowBytes > size;
  if (!AdmitPicture(width, height, indexed, start < size ? size - start : 0, uint64_t{stride} * static_cast<uint64_t>(height)))
    return nullptr;

  AnimPtr doc = CreateBlankAnimation(width, height);
  if (!doc) return nullptr;
  ImageBlock& frame = *FirstImage(doc.get());

  if (indexed) {
    // The table sits after the header whatever the pixel offset says.
    const size_t available = (size - tableAt) / 4;
    const size_t entries = static_cast<size_t>(std::min<uint64_t>({tableEntries, 256, available}));
    if (entries == 0) {
      ShowMessage(fmsg::kImageTypeUnsupported);
      return nullptr;
    }
    auto palette = TablePalette(dib + tableAt, entries);
    if (!palette) return nullptr;
    SetGlobalPalette(*doc, std::move(palette));
    frame.activePalette = doc->globalPalette.get();
    auto image = AllocIndexedImage(width, height, frame.activePalette);
    if (!image) return nullptr;
    const int perByte = 8 / bits;
    const int mask = (1 << bits) - 1;
    for (int y = 0; y < height; ++y) {
      const uint8_t* src = rows.row(y);
      uint8_t* dst = image->row(y);
      if (bits == 8) {
        std::memcpy(dst, src, static_cast<size_t>(width));
        continue;
      }
      for (int x = 0; x < width; ++x) {
        const int shift = 8 - bits * (x % perByte + 1);
        dst[x] = static_cast<uint8_t>((src[x / perByte] >> shift) & mask);
      }
    }
    SetIndexedImage(frame, std::move(image));
  } else {
    uint8_t* colour = AddTrueColour(frame, true);
    if (!colour) return nullptr;
    const size_t outStride = Stride24(width);
    if (bits == 24) {
      for (int y = 0; y < height; ++y)
        std::memcpy(colour + static_cast<size_t>(y) * outStride, rows.row(y), static_cast<size_t>(width) * 3);
    } else if (bits == 16) {
      Channel16 red, green, blue;
      const uint32_t rm = bitFields ? Le32(dib + 40) : 0x7C00;
      const uint32_t gm = bitFields ? Le32(dib + 44) : 0x03E0;
      const uint32_t bm = bitFields ? Le32(dib + 48) : 0x001F;
      if (!MakeChannel16(rm, red) || !MakeChannel16(gm, green) || !MakeChannel16(bm, blue)) {
        ShowMessage(fmsg::kBmp16BitUnsupported);
        return nullptr;
      }
      for (int y = 0; y < height; ++y) {
        const uint8_t* src = rows.row(y);
        uint8_t* dst = colour + static_cast<size_t>(y) * outStride;
        for (int x = 0; x < width; ++x) {
          const uint32_t v = Le16(src + 2 * x);
          dst[3 * x] = blue.table[(v & blue.mask) >> blue.shift];
          dst[3 * x + 1] = green.table[(v & green.mask) >> green.shift];
          dst[3 * x + 2] = red.table[(v & red.mask) >> red.shift];
        }
      }
    } else {
      // Blue, green, red, alpha.
      Channel32 channels[4] = {{0xFFu, 0}, {0xFF00u, 8}, {0xFF0000u, 16}, {0xFF000000u, 24}};
      bool hasAlpha = true;
      if (bitFields && !Channels32(Le32(dib + 40), Le32(dib + 44), Le32(dib + 48), channels, hasAlpha)) {
        ShowMessage(fmsg::kImageTypeUnsupported);
        return nullptr;
      }
      // Headers of 56 bytes and more name the alpha bits outright: none means opaque.
      if (bitFields && headerBytes >= 56) {
        const uint32_t alphaMask = Le32(dib + 52);
        hasAlpha = alphaMask != 0 && (alphaMask & (channels[0].mask | channels[1].mask | channels[2].mask)) == 0 &&
                   EightBitRun(alphaMask, channels[3]);
      }
      uint8_t* alpha = AddAlpha(frame, true);
      if (!alpha) return nullptr;
      const size_t alphaStride = Stride8(width);
      bool anyAlpha = false;
      for (int y = 0; y < height; ++y) {
        const uint8_t* src = rows.row(y);
        uint8_t* dst = colour + static_cast<size_t>(y) * outStride;
        uint8_t* a = alpha + static_cast<size_t>(y) * alphaStride;
        for (int x = 0; x < width; ++x) {
          const uint32_t v = Le32(src + 4 * x);
          for (int c = 0; c < 3; ++c)
            dst[3 * x + c] = static_cast<uint8_t>((v & channels[c].mask) >> channels[c].shift);
          a[x] = hasAlpha ? static_cast<uint8_t>((v & channels[3].mask) >> channels[3].shift) : 0;
          anyAlpha |= a[x] != 0;
        }
      }
      // Most 32-bit bitmaps leave the fourth byte 0: that is no alpha, not full transparency.
      if (!anyAlpha) RemoveAlpha(frame);
    }
  }
  ComputeColourUsage(*doc, doc->colourUsage.data(), true);
  return doc;
}

}  // namespace

DibHeader ParseDibHeader(const uint8_t* p) {
  DibHeader h;
  h.size = Le32(p);
  h.width = static_cast<int32_t>(Le32(p + 4));
  h.height = static_cast<int32_t>(Le32(p + 8));
  h.planes = Le16(p + 12);
  h.bitCount = Le16(p + 14);
  h.compression = Le32(p + 16);
  h.sizeImage = Le32(p + 20);
  h.xPelsPerMeter = static_cast<int32_t>(Le32(p + 24));
  h.yPelsPerMeter = static_cast<int32_t>(Le32(p + 28));
  h.clrUsed = Le32(p + 32);
  h.clrImportant = Le32(p + 36);
  return h;
}

void StoreDibHeader(const DibHeader& h, uint8_t* p) {
  PutLe32(p, h.size);
  PutLe32(p + 4, static_cast<uint32_t>(h.width));
  PutLe32(p + 8, static_cast<uint32_t>(h.height));
  PutLe16(p + 12, h.planes);
  PutLe16(p + 14, h.bitCount);
  PutLe32(p + 16, h.compression);
  PutLe32(p + 20, h.sizeImage);
  PutLe32(p + 24, static_cast<uint32_t>(h.xPelsPerMeter));
  PutLe32(p + 28, static_cast<uint32_t>(h.yPelsPerMeter));
  PutLe32(p + 32, h.clrUsed);
  PutLe32(p + 36, h.clrImportant);
}

size_t DibStride(int width, int bitCount) {
  return (static_cast<size_t>(width) * static_cast<size_t>(bitCount) + 31) / 32 * 4;
}

uint32_t DibTableEntries(const DibHeader& header) {
  if (header.clrUsed != 0) return header.clrUsed;
  return header.bitCount < 16 ? (1u << header.bitCount) : 0;
}

AnimPtr DibToDocument(const uint8_t* dib, size_t size, size_t pixelOffset, bool* pixelsCut) {
  if (pixelsCut) *pixelsCut = false;
  try {
    return Convert(dib, size, pixelOffset, pixelsCut);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void FlipDibRows(uint8_t* pixels, int width, int height, int bitCount) {
  const size_t rowBytes = bitCount == 24   ? Stride24(width)
                          : bitCount == 32 ? static_cast<size_t>(width) * 4
                                           : Stride8(width);
  std::vector<uint8_t> temp(rowBytes);
  for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
    uint8_t* a = pixels + static_cast<size_t>(top) * rowBytes;
    uint8_t* b = pixels + static_cast<size_t>(bottom) * rowBytes;
    std::memcpy(temp.data(), a, rowBytes);
    std::memcpy(a, b, rowBytes);
    std::memcpy(b, temp.data(), rowBytes);
  }
}

void CopyDibRows(uint8_t* to, const uint8_t* from, size_t rowBytes, int height, bool turnOver) {
  for (int y = 0; y < height; ++y) {
    const int source = turnOver ? height - 1 - y : y;
    std::memcpy(to + static_cast<size_t>(y) * rowBytes, from + static_cast<size_t>(source) * rowBytes, rowBytes);
  }
}

void ExpandIndexedRows(const uint8_t* indexed, size_t indexedStride, const uint32_t* table, int width, int height,
                       uint8_t* bgr, size_t bgrStride) {
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = indexed + static_cast<size_t>(y) * indexedStride;
    uint8_t* dst = bgr + static_cast<size_t>(y) * bgrStride;
    for (int x = 0; x < width; ++x) {
      const uint32_t e = table[src[x]];
      dst[3 * x] = static_cast<uint8_t>(e);
      dst[3 * x + 1] = static_cast<uint8_t>(e >> 8);
      dst[3 * x + 2] = static_cast<uint8_t>(e >> 16);
    }
  }
}

std::vector<uint8_t> MakeDib8(int width, int height, const uint32_t* table, bool identityTable, bool withPixels) {
  const size_t pixels = withPixels ? Stride8(width) * static_cast<size_t>(height) : 0;
  // Palette-index tables hold 16-bit indexes instead of colours.
  const size_t tableBytes = identityTable ? 256 * 2 : 256 * 4;
  std::vector<uint8_t> dib(kDibHeaderBytes + tableBytes + pixels, 0);
  DibHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = 8;
  StoreDibHeader(h, dib.data());
  for (int i = 0; i < 256; ++i) {
    if (identityTable)
      PutLe16(dib.data() + kDibHeaderBytes + 2 * i, static_cast<uint32_t>(i));
    else if (table)
      PutLe32(dib.data() + kDibHeaderBytes + 4 * i, table[i]);
  }
  return dib;
}

std::vector<uint8_t> MakeDib24(int width, int height, bool withPixels) {
  const size_t pixels = withPixels ? Stride24(width) * static_cast<size_t>(height) : 0;
  std::vector<uint8_t> dib(kDibHeaderBytes + pixels, 0);
  DibHeader h;
  h.width = width;
  h.height = height;
  h.bitCount = 24;
  StoreDibHeader(h, dib.data());
  return dib;
}

std::unique_ptr<Palette> PaletteFromDib(const uint8_t* dib, size_t size) {
  if (size < kDibHeaderBytes) return nullptr;
  const DibHeader h = ParseDibHeader(dib);
  if (h.bitCount != 1 && h.bitCount != 4 && h.bitCount != 8) return nullptr;
  const size_t entries = static_cast<size_t>(
      std::min<uint64_t>({DibTableEntries(h), 256, (size - kDibHeaderBytes) / 4}));
  if (entries == 0) return nullptr;
  return TablePalette(dib + kDibHeaderBytes, entries);
}

}  // namespace fw
