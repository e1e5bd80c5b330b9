// Icon and cursor files out: a depth per frame, the resolution order older systems expect,
// DIBs with AND masks, PNG streams for the large images.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "formats/dib.h"
#include "formats/file_bytes.h"
#include "formats/icon_file.h"
#include "formats/png_file.h"
#include "formats/png_frame.h"

namespace fw {
namespace {

// Word 15 bits.
constexpr uint32_t kNoPngIcons = 1u << 7;
constexpr uint32_t kKeepIconOrder = 1u << 8;

constexpr Rgb kStandard16[16] = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                 {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                 {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                 {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

bool IsStandard16(Rgb c) { return std::find(std::begin(kStandard16), std::end(kStandard16), c) != std::end(kStandard16); }
bool BlackOrWhite(Rgb c) { return c == Rgb{0, 0, 0} || c == Rgb{255, 255, 255}; }

// Highest index an opaque pixel uses (-1 for none).
int MaxVisibleIndex(const ImageBlock& frame) {
  if (!frame.transparent()) return MaxIndexUsed(frame);
  const IndexedImage& image = *frame.indexedImage;
  int top = -1;
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* row = image.row(y);
    for (int x = 0; x < image.width; ++x)
      if (row[x] != frame.transparentIndex) top = std::max<int>(top, row[x]);
  }
  return top;
}

bool MaskedAt(const ImageBlock& frame, const uint8_t* alpha, int x, int y) {
  const int w = PlaneWidth(frame);
  if (frame.indexedImage) return frame.transparent() && frame.indexedImage->row(y)[x] == frame.transparentIndex;
  return alpha && alpha[static_cast<size_t>(y) * Stride8(w) + static_cast<size_t>(x)] == 0;
}

struct Entry {
  const ImageBlock* frame = nullptr;
  IconDepth depth;
  int width = 0, height = 0;
  bool png = false;
  std::vector<uint8_t> data;
};

// An entry that should come before `b` in the directory.
bool Before(const Entry& a, const Entry& b) {
  if (a.depth.entryBits != b.depth.entryBits) return a.depth.entryBits < b.depth.entryBits;
  if (a.width != b.width) return a.width > b.width;
  return a.height > b.height;
}

// The refusal text, or empty when every entry is distinct.
std::string DuplicateList(const std::vector<Entry>& entries, int type) {
  auto colourCount = [type](const Entry& e) { return type == kIconTypeCursor ? 0 : e.depth.colourCount; };
  std::string lines;
  for (size_t j = 1; j < entries.size(); ++j) {
    const Entry& b = entries[j];
    for (size_t i = 0; i < j; ++i) {
      const Entry& a = entries[i];
      if (a.width != b.width || a.height != b.height || colourCount(a) != colourCount(b)) continue;
      if (colourCount(a) == 0 && a.depth.entryBits != b.depth.entryBits) continue;
      lines += FormatText("\n\t%d x %d x bitcount %d", b.width, b.height, b.depth.entryBits);
      break;
    }
  }
  if (lines.empty()) return {};
  std::string text = std::string(icon_text::kDuplicateIntro) + lines;
  if (text.size() > 500) text.resize(500);
  return text;
}

// Icon PNGs are stored as true colour with alpha, whatever the frame holds: that is the form
// Windows documents for them, and readers that take the picture out of the PNG without its
// palette's transparency (Pillow's, for one) then still see the clear pixels.
bool EncodePng(const ImageBlock& original, std::vector<uint8_t>& out) {
  ImagePtr expanded;
  if (!TrueColourRows(original)) {
    expanded = CopyImage(original, original.activePalette);
    if (!expanded || !ExpandToTrueColour(*expanded)) return false;
  }
  const ImageBlock& frame = expanded ? *expanded : original;
  const size_t size = PngEncodedSize(frame, nullptr);
  if (size == 0) return false;
  out.resize(size);
  size_t written = 0;
  if (WritePngMemory(out.data(), out.data() + out.size(), frame, nullptr, &written) != 1) return false;
  out.resize(written);
  return true;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

}  // namespace

IconDepth ChooseIconDepth(const ImageBlock& frame) {
  IconDepth d;
  if (TrueColourRows(frame)) {
    d.pixelBits = d.entryBits = AlphaRows(frame) ? 32 : 24;
    return d;
  }
  if (!frame.indexedImage) return d;
  uint32_t table[256];
  PaletteEntries(frame, table);
  const int count = frame.activePalette ? frame.activePalette->count() : 0;
  const int maxUsed = MaxIndexUsed(frame);
  const int transparent = frame.transparent() ? frame.transparentIndex : -1;
  if (maxUsed <= 2 && transparent <= 2 && MaxVisibleIndex(frame) <= 1 && BlackOrWhite(EntryColour(table[0])) &&
      BlackOrWhite(EntryColour(table[1]))) {
    d.pixelBits = d.entryBits = 1;
    d.colourCount = 2;
  } else if (maxUsed > 15 || transparent > 15) {
    d.pixelBits = d.entryBits = 8;
  } else {
    bool standard = true;
    for (int i = 0; i < std::min(count, 16); ++i) standard = standard && IsStandard16(EntryColour(table[i]));
    d.pixelBits = 4;
    if (standard) {
      d.entryBits = 4;
      d.colourCount = 16;
    } else {
      // Its own sixteen colours: older systems would take a 4-bit entry for the standard set.
      d.entryBits = 8;
    }
  }
  return d;
}

size_t IconDibSize(int width, int height, int pixelBits) {
  const size_t w = static_cast<size_t>(width), h = static_cast<size_t>(height);
  const size_t mask = (w + 31) / 32;
  switch (pixelBits) {
    case 1:
      return mask * h * 8 + 48;
    case 4:
      return ((w + 7) / 8 + mask) * h * 4 + 104;
    case 8:
      return (mask + (w + 3) / 4) * h * 4 + 1064;
    case 24:
      return (mask + (w * 3 + 3) / 4) * h * 4 + 40;
    default:
      return (w + mask) * h * 4 + 40;
  }
}

std::vector<uint8_t> MakeIconDib(const ImageBlock& frame, int pixelBits) {
  const int w = PlaneWidth(frame), h = PlaneHeight(frame);
  const size_t xorStride = DibStride(w, pixelBits), andStride = DibStride(w, 1);
  const size_t tableEntries = pixelBits <= 8 ? (size_t{1} << pixelBits) : 0;
  std::vector<uint8_t> dib(kDibHeaderBytes + 4 * tableEntries + (xorStride + andStride) * static_cast<size_t>(h), 0);
  DibHeader header;
  header.width = w;
  header.height = 2 * h;
  header.bitCount = static_cast<uint16_t>(pixelBits);
  header.sizeImage = static_cast<uint32_t>((xorStride + andStride) * static_cast<size_t>(h));
  StoreDibHeader(header, dib.data());

  uint32_t table[256];
  PaletteEntries(frame, table);
  uint8_t* colours = dib.data() + kDibHeaderBytes;
  if (pixelBits == 1) {
    PutLe32(colours + 4, 0xFFFFFF);
  } else if (pixelBits <= 8) {
    for (size_t i = 0; i < tableEntries; ++i) PutLe32(colours + 4 * i, table[i]);
    if (frame.transparent() && frame.transparentIndex < tableEntries) PutLe32(colours + 4 * frame.transparentIndex, 0);
  }

  const uint8_t* trueColour = TrueColourRows(frame);
  const uint8_t* alpha = AlphaRows(frame);
  const size_t stride24 = Stride24(w), stride8 = Stride8(w);
  uint8_t* xorRows = colours + 4 * tableEntries;
  uint8_t* andRows = xorRows + xorStride * static_cast<size_t>(h);
  for (int y = 0; y < h; ++y) {
    const size_t stored = static_cast<size_t>(h - 1 - y);
    uint8_t* out = xorRows + stored * xorStride;
    uint8_t* mask = andRows + stored * andStride;
    const uint8_t* indexes = frame.indexedImage ? frame.indexedImage->row(y) : nullptr;
    for (int x = 0; x < w; ++x) {
      const bool masked = MaskedAt(frame, alpha, x, y);
      if (masked) mask[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      if (pixelBits == 1) {
        const bool white = indexes && !masked && table[indexes[x]] == 0xFFFFFF;
        if (white) out[x >> 3] |= static_cast<uint8_t>(0x80 >> (x & 7));
      } else if (pixelBits == 4) {
        const uint8_t v = indexes ? static_cast<uint8_t>(indexes[x] & 15) : 0;
        out[x >> 1] |= static_cast<uint8_t>((x & 1) ? v : v << 4);
      } else if (pixelBits == 8) {
        out[x] = indexes ? indexes[x] : 0;
      } else if (trueColour) {
        const uint8_t* c = trueColour + static_cast<size_t>(y) * stride24 + 3 * static_cast<size_t>(x);
        if (pixelBits == 24) {
          std::memcpy(out + 3 * x, c, 3);
        } else {
          const uint8_t a = alpha ? alpha[static_cast<size_t>(y) * stride8 + static_cast<size_t>(x)] : 255;
          if (a != 0) {
            std::memcpy(out + 4 * x, c, 3);
            out[4 * x + 3] = a;
          }
        }
      }
    }
  }
  return dib;
}

int WriteIconFile(const std::string& path, const AnimHeader& document, int type) {
  std::vector<Entry> entries;
  std::vector<uint8_t> file;
  try {
    const bool pngAllowed = !Prefs().bit(pref::kMoreFlags, kNoPngIcons);
    for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
      Entry e;
      e.frame = f;
      e.depth = ChooseIconDepth(*f);
      e.width = PlaneWidth(*f);
      e.height = PlaneHeight(*f);
      e.png = pngAllowed && (e.width >= 128 || e.height >= 128) && e.depth.pixelBits != 1;
      if (!Prefs().bit(pref::kMoreFlags, kKeepIconOrder)) {
        // Stable: an image goes before the first one it should precede.
        auto at = std::find_if(entries.begin(), entries.end(), [&](const Entry& other) { return Before(e, other); });
        entries.insert(at, std::move(e));
      } else {
        entries.push_back(std::move(e));
      }
    }
    if (const std::string duplicates = DuplicateList(entries, type); !duplicates.empty()) {
      Messages().ask(0, duplicates, icon_text::kDuplicateCaption, Buttons::Ok, Answer::Ok);
      return 0;
    }

    for (Entry& e : entries) {
      if (e.png && !EncodePng(*e.frame, e.data)) e.png = false;
      if (!e.png) e.data = MakeIconDib(*e.frame, e.depth.pixelBits);
    }
    Put16(file, 0);
    Put16(file, static_cast<uint32_t>(type));
    Put16(file, static_cast<uint32_t>(entries.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * entries.size());
    for (const Entry& e : entries) {
      file.push_back(static_cast<uint8_t>(e.width >= 256 ? 0 : e.width));
      file.push_back(static_cast<uint8_t>(e.height >= 256 ? 0 : e.height));
      file.push_back(static_cast<uint8_t>(type == kIconTypeCursor ? 0 : e.depth.colourCount));
      file.push_back(0);
      if (type == kIconTypeCursor) {
        Put16(file, static_cast<uint32_t>(std::max(0, e.frame->hotspotX)));
        Put16(file, static_cast<uint32_t>(std::max(0, e.frame->hotspotY)));
      } else {
        Put16(file, 1);
        Put16(file, static_cast<uint32_t>(e.depth.entryBits));
      }
      Put32(file, static_cast<uint32_t>(e.data.size()));
      Put32(file, offset);
      offset += static_cast<uint32_t>(e.data.size());
    }
    for (const Entry& e : entries) file.insert(file.end(), e.data.begin(), e.data.end());
  } catch (const std::bad_alloc&) {
    ShowText("%s", icon_text::kWriteBits);
    return 0;
  }

  return WriteFileBytes(path, file.data(), file.size()) ? 1 : 0;
}

}  // namespace fw
