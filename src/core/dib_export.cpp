#include "core/dib_export.h"

#include <cstring>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {
namespace {

void PutLe32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

}  // namespace

std::vector<uint8_t> ExportDib(const AnimHeader& document, int frameIndex) {
  const ImageBlock* frame = ImageAt(&document, frameIndex);
  if (!frame || !frame->indexedImage) return {};
  const IndexedImage& image = *frame->indexedImage;
  const size_t stride = image.stride();
  const size_t height = static_cast<size_t>(image.height);
  if (image.pixels.size() < stride * height) return {};

  // The real palette colours, not the display colour a transparency mask puts in the table:
  // whoever pastes the picture wants the frame's own colours.
  uint32_t entries[256];
  PaletteEntries(*frame, entries);
  const int count = frame->activePalette ? frame->activePalette->count() : 256;
  if (!frame->activePalette) std::memcpy(entries, image.colourTable.data(), sizeof entries);

  const size_t headerBytes = 40 + 4 * static_cast<size_t>(count);
  std::vector<uint8_t> dib;
  try {
    if (!PlaneSizeAllowed(stride, height)) throw std::bad_alloc();
    dib.assign(headerBytes + stride * height, 0);
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryClipboard);
    return {};
  }
  uint8_t* p = dib.data();
  PutLe32(p, 40);
  PutLe32(p + 4, static_cast<uint32_t>(image.width));
  PutLe32(p + 8, static_cast<uint32_t>(image.height));  // positive: bottom-up rows
  p[12] = 1;                                           // planes
  p[14] = 8;                                           // bits per pixel
  PutLe32(p + 20, static_cast<uint32_t>(stride * height));
  PutLe32(p + 32, static_cast<uint32_t>(count));
  for (int i = 0; i < count; ++i) PutLe32(p + 40 + 4 * i, entries[i]);
  uint8_t* rows = p + headerBytes;
  for (size_t y = 0; y < height; ++y) std::memcpy(rows + (height - 1 - y) * stride, image.row(static_cast<int>(y)), stride);
  return dib;
}

}  // namespace fw
