#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/indexed_image.h"
#include "core/message_sink.h"
#include "formats/bmp_file.h"
#include "formats/dib.h"
#include "formats/file_bytes.h"
#include "formats/format_messages.h"

namespace fw {
namespace {

constexpr size_t kFileHeaderBytes = 14;
constexpr size_t kOs2HeaderBytes = 12;

// OS/2 bitmaps carry a 12-byte header and 3-byte colour entries; they are rebuilt as a
// Windows DIB whose pixels follow the widened table.
AnimPtr ReadOs2(const uint8_t* data, size_t size, size_t pixelOffset, bool* pixelsCut) {
  const uint8_t* core = data + kFileHeaderBytes;
  DibHeader h;
  h.width = Le16(core + 4);
  h.height = Le16(core + 6);
  h.planes = Le16(core + 8);
  h.bitCount = Le16(core + 10);
  const size_t entries = h.bitCount < 16 ? size_t{1} << std::min<int>(h.bitCount, 8) : 0;
  const size_t tableAt = kFileHeaderBytes + kOs2HeaderBytes;
  const size_t pixelBytes = pixelOffset < size ? size - pixelOffset : 0;
  std::vector<uint8_t> dib(kDibHeaderBytes + 4 * entries + pixelBytes, 0);
  StoreDibHeader(h, dib.data());
  for (size_t i = 0; i < entries && tableAt + 3 * i + 3 <= size; ++i)
    std::memcpy(dib.data() + kDibHeaderBytes + 4 * i, data + tableAt + 3 * i, 3);
  if (pixelBytes) std::memcpy(dib.data() + kDibHeaderBytes + 4 * entries, data + pixelOffset, pixelBytes);
  return DibToDocument(dib.data(), dib.size(), 0, pixelsCut);
}

}  // namespace

LoadResult ReadBmpMemory(const uint8_t* data, size_t size) {
  LoadResult result;
  if (size < kFileHeaderBytes + 4) {
    ShowMessage(fmsg::kImageTypeUnsupported);
    return result;
  }
  const size_t pixelOffset = Le32(data + 10);
  const uint32_t headerSize = Le32(data + kFileHeaderBytes);
  bool pixelsCut = false;
  try {
    if (headerSize == kOs2HeaderBytes) {
      if (size < kFileHeaderBytes + kOs2HeaderBytes) {
        ShowMessage(fmsg::kImageTypeUnsupported);
        return result;
      }
      result.document = ReadOs2(data, size, pixelOffset, &pixelsCut);
    } else {
      // An offset pointing into the headers cannot be meant; such files are read as if the
      // pixels followed the colour table, where writers that leave the field 0 put them.
      size_t offset = pixelOffset >= kFileHeaderBytes ? pixelOffset - kFileHeaderBytes : 0;
      if (offset < kDibHeaderBytes) offset = 0;
      result.document = DibToDocument(data + kFileHeaderBytes, size - kFileHeaderBytes, offset, &pixelsCut);
    }
  } catch (const std::bad_alloc&) {
    ShowMessage(fmsg::kBmpNoMemory);
    return result;
  }
  if (!result.document) return result;
  if (pixelsCut) {
    // The picture is kept with its missing rows blank, and said to be incomplete.
    ShowText("The bitmap's pixel data is missing or cut short (the file ends before the picture does); the rest "
             "is left blank.");
    result.status = kReadPartial;
  } else {
    result.status = kReadComplete;
  }
  return result;
}

LoadResult ReadBmpFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  // Nothing a supported bitmap holds can be larger than two of the largest planes.
  const FileBytesStatus status = ReadFileBytes(path, 2 * MaxPlaneBytes(), bytes);
  if (status == FileBytesStatus::kCannotOpen) return {};
  if (status == FileBytesStatus::kTooLarge) {
    ShowMessage(fmsg::kBmpNoMemory);
    return {};
  }
  return ReadBmpMemory(bytes.data(), bytes.size());
}

}  // namespace fw
