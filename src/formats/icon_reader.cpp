// Icon and cursor files: the directory, then each entry's image as a frame.
#include <algorithm>
#include <map>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/read_budget.h"
#include "core/string_table.h"
#include "formats/dib.h"
#include "formats/file_bytes.h"
#include "formats/icon_file.h"

namespace fw {
namespace {

constexpr size_t kDirectoryBytes = 6;
constexpr size_t kEntryBytes = 16;

size_t FrameBytes(const ImageBlock& f) {
  const size_t h = static_cast<size_t>(PlaneHeight(f));
  return (f.indexedImage ? f.indexedImage->stride() * h : 0) + f.trueColour.size() + f.alpha.size();
}

LoadResult Read(const uint8_t* data, size_t size) {
  if (size < kDirectoryBytes) {
    ShowText("%s", icon_text::kHeader);
    return {};
  }
  const int type = Le16(data + 2);
  if (Le16(data) != 0 || (type != kIconTypeIcon && type != kIconTypeCursor)) {
    ShowText("%s", icon_text::kNotIcon);
    return {};
  }
  const size_t count = Le16(data + 4);
  if (count == 0 || size - kDirectoryBytes < count * kEntryBytes) {
    ShowText("%s", icon_text::kEntries);
    return {};
  }

  AnimPtr doc = CreateAnimation();
  if (!doc) return {};
  // Up to 65,535 entries may be damaged alike: each kind of damage is told once.
  DistinctMessages once;
  bool damaged = false;
  int screenWidth = 0, screenHeight = 0;
  size_t total = 0;
  ReadBudgetScope budget;
  std::map<uint32_t, size_t> decodedAt;  // plane bytes of the picture decoded from each offset
  BlockAppender out(*doc);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* entry = data + kDirectoryBytes + i * kEntryBytes;
    const int entryWidth = entry[0] ? entry[0] : 256;
    const int entryHeight = entry[1] ? entry[1] : 256;
    const int colourCount = entry[2];
    const uint32_t length = Le32(entry + 8);
    const uint32_t offset = Le32(entry + 12);
    size_t available = 0;
    if (offset < size) available = std::min<size_t>(length, size - offset);
    if (available < length) {
      ShowText("%s", icon_text::kShortData);
      damaged = true;
    }
    // Entries may all point at the same data: a picture made again from data already used is
    // made from nothing but its directory entry, and is paid for before it is decoded again.
    const auto earlier = decodedAt.find(offset);
    if (available && earlier != decodedAt.end() && !budget.admitUnbacked(earlier->second)) {
      ReadBudget::refuseUnbacked();
      damaged = true;
      break;
    }
    // A cursor entry holds its hotspot where an icon entry holds the bit count.
    const int bitCount = type == kIconTypeCursor ? kUnknownIconBits : Le16(entry + 6);
    ImagePtr frame = available ? IconEntryToFrame(data + offset, available, colourCount, bitCount) : nullptr;
    if (!frame) {
      damaged = true;
      continue;
    }
    decodedAt.emplace(offset, FrameBytes(*frame));
    if (!budget.admitFrame(int64_t{frame->width} * frame->height)) {
      damaged = true;
      break;
    }
    // Entries may all point at the same data: together they get no more than one plane may.
    total += FrameBytes(*frame);
    if (total > MaxPlaneBytes()) {
      ShowMessage(msg::kNoMemoryFrameImage);
      return {};
    }
    if (type == kIconTypeCursor) {
      frame->hotspotX = Le16(entry + 4);
      frame->hotspotY = Le16(entry + 6);
    }
    screenWidth = std::max({screenWidth, entryWidth, frame->width});
    screenHeight = std::max({screenHeight, entryHeight, frame->height});
    out.append(std::move(frame));
  }
  if (doc->frameCount == 0) return {};
  doc->screenWidth = screenWidth;
  doc->screenHeight = screenHeight;
  // The entries that could be read are kept; the file is reported as partly read.
  return {damaged ? kReadPartial : kReadComplete, std::move(doc)};
}

}  // namespace

LoadResult ReadIconMemory(const uint8_t* data, size_t size) {
  return ParseWithinMemory(msg::kNoMemoryFrameImage, [&] { return Read(data, size); });
}

LoadResult ReadIconFile(const std::string& path) {
  return ParseWholeFile(path, msg::kNoMemoryFrameImage, ReadIconMemory);
}

}  // namespace fw
