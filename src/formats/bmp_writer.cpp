#include <cstring>
#include <new>
#include <vector>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/string_table.h"
#include "formats/bmp_file.h"
#include "formats/dib.h"
#include "formats/format_messages.h"
#include "gif/byte_sink.h"

namespace fw {

int WriteBmpFile(const std::string& path, const ImageBlock& frame, int flags) {
  const uint8_t* colour = TrueColourRows(frame);
  const uint8_t* alpha = AlphaRows(frame);
  const int depth = (!colour || (flags & bmp_flag::kForce8Bit)) ? 8 : alpha ? 32 : 24;
  if (depth == 8 && !frame.indexedImage) return 0;
  const int width = PlaneWidth(frame);
  const int height = PlaneHeight(frame);

  const size_t headerBytes = 14 + kDibHeaderBytes + (depth == 8 ? 1024 : 0);
  const size_t rowBytes = DibStride(width, depth);
  const uint64_t fileBytes = headerBytes + static_cast<uint64_t>(rowBytes) * static_cast<uint64_t>(height);
  if (fileBytes > 0xFFFFFFFFu) {
    // The file header stores the file's size in 32 bits.
    ShowText("A BMP file holds at most 4 GB (4294967295 bytes); this %d x %d picture needs %llu.", width, height,
             static_cast<unsigned long long>(fileBytes));
    return 0;
  }
  auto sink = FileSink::Create(path);
  if (!sink) {
    ShowMessage(fmsg::kCannotSaveTemp, path.c_str());
    return 0;
  }

  bool ok = true;
  bool noMemory = false;
  try {
    std::vector<uint8_t> head(headerBytes, 0);
    head[0] = 'B';
    head[1] = 'M';
    PutLe32(&head[2], static_cast<uint32_t>(fileBytes));
    PutLe32(&head[10], static_cast<uint32_t>(headerBytes));
    DibHeader h;
    h.width = width;
    h.height = height;
    h.bitCount = static_cast<uint16_t>(depth);
    StoreDibHeader(h, &head[14]);
    if (depth == 8) {
      uint32_t entries[256];
      PaletteEntries(frame, entries);
      for (int i = 0; i < 256; ++i) PutLe32(&head[14 + kDibHeaderBytes + 4 * i], entries[i]);
    }
    ok = sink->write(head.data(), head.size());

    std::vector<uint8_t> row(rowBytes, 0);
    const size_t colourStride = Stride24(width);
    const size_t alphaStride = Stride8(width);
    for (int y = height - 1; y >= 0 && ok; --y) {
      if (depth == 8) {
        std::memcpy(row.data(), frame.indexedImage->row(y), static_cast<size_t>(width));
      } else if (depth == 24) {
        std::memcpy(row.data(), colour + static_cast<size_t>(y) * colourStride, static_cast<size_t>(width) * 3);
      } else {
        const uint8_t* c = colour + static_cast<size_t>(y) * colourStride;
        const uint8_t* a = alpha + static_cast<size_t>(y) * alphaStride;
        for (int x = 0; x < width; ++x) {
          uint8_t* p = &row[4 * static_cast<size_t>(x)];
          // Fully transparent pixels carry no colour, so that they compare equal however made.
          if (a[x] == 0) {
            std::memset(p, 0, 4);
          } else {
            std::memcpy(p, c + 3 * x, 3);
            p[3] = a[x];
          }
        }
      }
      ok = sink->write(row.data(), row.size());
    }
  } catch (const std::bad_alloc&) {
    ok = false;
    noMemory = true;
  }
  // A failed write was noted by the sink; the save step reports it under the target's name.
  ok = sink->close() && ok;
  if (noMemory) ShowMessage(msg::kNoMemoryFrameImage);
  return ok ? 1 : 0;
}

}  // namespace fw
