// Animated cursors out: one step per frame, each frame a one-image cursor file.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "formats/ani_file.h"
#include "formats/file_bytes.h"
#include "formats/format_messages.h"
#include "formats/icon_file.h"

namespace fw {
namespace {

class RiffOut {
 public:
  void id(const char (&four)[5]) { bytes.insert(bytes.end(), four, four + 4); }
  void u16(uint32_t v) {
    bytes.push_back(static_cast<uint8_t>(v));
    bytes.push_back(static_cast<uint8_t>(v >> 8));
  }
  void u32(uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  }
  // Opens a chunk and returns where its size goes.
  size_t open(const char (&four)[5]) {
    id(four);
    const size_t at = bytes.size();
    u32(0);
    return at;
  }
  void close(size_t sizeAt) {
    const size_t size = bytes.size() - sizeAt - 4;
    for (int i = 0; i < 4; ++i) bytes[sizeAt + static_cast<size_t>(i)] = static_cast<uint8_t>(size >> (8 * i));
    if (size & 1) bytes.push_back(0);
  }
  std::vector<uint8_t> bytes;
};

int CursorDepth(const ImageBlock& frame) {
  if (!TrueColourRows(frame)) return 8;
  return AlphaRows(frame) ? 32 : 24;
}

}  // namespace

int WriteAniFile(const std::string& path, const AnimHeader& document) {
  RiffOut out;
  try {
    const ImageBlock* first = FirstImage(&document);
    // The hotspot of the first frame is the hotspot of every frame.
    const uint32_t hotX = first ? static_cast<uint32_t>(std::max(0, first->hotspotX)) : 0;
    const uint32_t hotY = first ? static_cast<uint32_t>(std::max(0, first->hotspotY)) : 0;
    const uint32_t count = static_cast<uint32_t>(document.frameCount);

    const size_t riff = out.open("RIFF");
    out.id("ACON");
    const size_t header = out.open("anih");
    out.u32(36);
    out.u32(count);  // frames
    out.u32(count);  // steps
    out.u32(static_cast<uint32_t>(document.screenWidth));
    out.u32(static_cast<uint32_t>(document.screenHeight));
    out.u32(8);  // bit count
    out.u32(1);  // planes
    out.u32(1);  // default rate
    out.u32(1);  // frames are icons, no sequence chunk
    out.close(header);

    const size_t rates = out.open("rate");
    for (const ImageBlock* f = first; f; f = NextImage(f))
      out.u32(HundredthsToJiffies(GifDelayFromDocument(f->delay, Prefs().timeBase())));
    out.close(rates);

    const size_t list = out.open("LIST");
    out.id("fram");
    for (const ImageBlock* f = first; f; f = NextImage(f)) {
      const int depth = CursorDepth(*f);
      const std::vector<uint8_t> dib = MakeIconDib(*f, depth);
      const int w = PlaneWidth(*f), h = PlaneHeight(*f);
      const size_t icon = out.open("icon");
      out.u16(0);
      out.u16(kIconTypeCursor);
      out.u16(1);
      out.bytes.push_back(static_cast<uint8_t>(w >= 256 ? 0 : w));
      out.bytes.push_back(static_cast<uint8_t>(h >= 256 ? 0 : h));
      out.bytes.push_back(depth == 8 ? 255 : 0);
      out.bytes.push_back(0);
      out.u16(hotX);
      out.u16(hotY);
      out.u32(static_cast<uint32_t>(dib.size()));
      out.u32(22);
      out.bytes.insert(out.bytes.end(), dib.begin(), dib.end());
      out.close(icon);
    }
    out.close(list);
    out.close(riff);
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return 0;
  }

  return WriteFileBytes(path, out.bytes.data(), out.bytes.size()) ? 1 : 0;
}

}  // namespace fw
