// Animated cursors in: the RIFF chunks, then one frame per step from the step's cursor.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/read_budget.h"
#include "core/string_table.h"
#include "formats/ani_file.h"
#include "formats/dib.h"
#include "formats/file_bytes.h"
#include "formats/icon_file.h"

namespace fw {
namespace {

bool IsId(const uint8_t* p, const char (&id)[5]) { return std::memcmp(p, id, 4) == 0; }

struct Range {
  size_t offset = 0, size = 0;
};

struct Step {
  uint32_t rate = 0;
  uint32_t frame = 0;
};

bool PlausibleId(const uint8_t* p) {
  for (int i = 0; i < 4; ++i)
    if (!std::isalnum(p[i]) && p[i] != ' ') return false;
  return true;
}

// Chunks of a RIFF list between `begin` and `end`. A chunk whose size runs past the end is
// cut to what is there, so a lying size can neither read beyond the data nor loop. Writers
// of INFO lists often count their sizes a byte or two off (padding left out or counted
// twice); when the next chunk does not start where the size says, it is looked for up to two
// bytes either side, as other readers of these files do.
template <typename Visit>
void WalkChunks(const uint8_t* data, size_t begin, size_t end, Visit visit) {
  size_t at = begin;
  while (at <= end && end - at >= 8) {
    const uint8_t* head = data + at;
    const uint32_t declared = Le32(head + 4);
    const size_t start = at + 8;
    const size_t size = std::min<size_t>(declared, end - start);
    if (!visit(head, Range{start, size})) return;
    if (declared > end - start) return;
    const size_t next = start + declared + (declared & 1);
    at = next;
    if (next < end && end - next >= 8 && !PlausibleId(data + next)) {
      for (const size_t shift : {size_t{2}, size_t{1}}) {
        if (next - shift > start && PlausibleId(data + next - shift)) {
          at = next - shift;
          break;
        }
        if (end - next >= 8 + shift && PlausibleId(data + next + shift)) {
          at = next + shift;
          break;
        }
      }
    }
  }
}

struct AniLayout {
  bool header = false;
  bool headerRefused = false;
  uint32_t declaredIcons = 0;
  std::vector<Step> steps;
  std::vector<Range> icons;
};

AniLayout Parse(const uint8_t* data, size_t size) {
  AniLayout ani;
  WalkChunks(data, 12, size, [&](const uint8_t* head, Range chunk) {
    const uint8_t* p = data + chunk.offset;
    if (IsId(head, "anih")) {
      const uint32_t flags = chunk.size >= 36 ? Le32(p + 32) : 0;
      if (!(flags & 1)) {
        ani.headerRefused = true;
        return false;
      }
      ani.header = true;
      const uint32_t frames = Le32(p + 4);
      uint32_t steps = Le32(p + 8);
      if (steps == 0) steps = frames;
      // Every step needs a sequence entry or an icon chunk of its own, four bytes at least.
      if (frames == 0 || steps > size / 4) {
        ani.headerRefused = true;
        return false;
      }
      ani.declaredIcons = frames;
      const uint32_t rate = Le32(p + 28);
      ani.steps.resize(steps);
      for (uint32_t i = 0; i < steps; ++i) ani.steps[i] = {rate, i};
    } else if (IsId(head, "rate") || IsId(head, "seq ")) {
      const bool rates = IsId(head, "rate");
      const size_t n = std::min(ani.steps.size(), chunk.size / 4);
      for (size_t i = 0; i < n; ++i) (rates ? ani.steps[i].rate : ani.steps[i].frame) = Le32(p + 4 * i);
    } else if (IsId(head, "LIST") && chunk.size >= 4 && IsId(p, "fram")) {
      WalkChunks(data, chunk.offset + 4, chunk.offset + chunk.size, [&](const uint8_t* sub, Range icon) {
        // A cursor cut short by the end of the file is not one: it and what follows are lost.
        if (!IsId(sub, "icon") || Le32(sub + 4) > icon.size) return false;
        ani.icons.push_back(icon);
        return true;
      });
    }
    return true;
  });
  return ani;
}

// The first image of one icon chunk (an icon or cursor file), with its hotspot.
ImagePtr FirstCursorImage(const uint8_t* data, Range icon) {
  const uint8_t* file = data + icon.offset;
  if (icon.size < 22 || Le16(file) != 0) return nullptr;
  const int type = Le16(file + 2);
  if ((type != kIconTypeIcon && type != kIconTypeCursor) || Le16(file + 4) == 0) return nullptr;
  const uint8_t* entry = file + 6;
  const uint32_t length = Le32(entry + 8), offset = Le32(entry + 12);
  if (offset >= icon.size) return nullptr;
  const size_t available = std::min<size_t>(length, icon.size - offset);
  // A cursor entry holds its hotspot where an icon entry holds the bit count.
  const int bitCount = type == kIconTypeCursor ? kUnknownIconBits : Le16(entry + 6);
  ImagePtr frame = IconEntryToFrame(file + offset, available, entry[2], bitCount);
  if (frame && type == kIconTypeCursor) {
    frame->hotspotX = Le16(entry + 4);
    frame->hotspotY = Le16(entry + 6);
  }
  return frame;
}

size_t FrameBytes(const ImageBlock& f) {
  const size_t h = static_cast<size_t>(PlaneHeight(f));
  return (f.indexedImage ? f.indexedImage->stride() * h : 0) + f.trueColour.size() + f.alpha.size();
}

LoadResult Read(const uint8_t* data, size_t size) {
  if (size < 12 || !IsId(data, "RIFF") || !IsId(data + 8, "ACON")) {
    ShowText("%s", kAniNotReadable);
    return {};
  }
  const AniLayout ani = Parse(data, size);
  if (!ani.header || ani.headerRefused || ani.steps.empty()) {
    ShowText("%s", kAniNotReadable);
    return {};
  }

  AnimPtr doc = CreateAnimation();
  if (!doc) return {};
  // Steps often repeat a cursor; each cursor is decoded once and copied for its steps.
  std::vector<ImagePtr> decoded(ani.icons.size());
  size_t total = 0;
  int width = 0, height = 0;
  // Steps that name a cursor already shown are made from four bytes of the file each: together
  // they may cost no more than the read's budget for pictures a file's data does not hold.
  ReadBudgetScope budget;
  // The steps before one that could not be made are kept (the reason has been told).
  auto stopped = [&]() -> LoadResult {
    if (doc->frameCount == 0) return {};
    doc->screenWidth = width;
    doc->screenHeight = height;
    return {kReadPartial, std::move(doc)};
  };
  // A file cut short keeps the steps before the first one whose cursor is missing or broken.
  auto damaged = [&]() -> LoadResult {
    if (doc->frameCount == 0) {
      ShowText("%s", kAniNotReadable);
      return {};
    }
    ShowMessage(msg::kPartlyRead);
    return stopped();
  };
  BlockAppender out(*doc);
  for (const Step& step : ani.steps) {
    // A step naming a cursor the header never announced is a broken file, not a cut one.
    if (step.frame >= ani.declaredIcons) {
      ShowText("%s", kAniNotReadable);
      return {};
    }
    if (step.frame >= ani.icons.size()) return damaged();
    ImagePtr& cursor = decoded[step.frame];
    const bool repeat = cursor != nullptr;
    if (!cursor) {
      cursor = FirstCursorImage(data, ani.icons[step.frame]);
      if (!cursor) return damaged();
      total += FrameBytes(*cursor);
    }
    if (repeat && !budget.admitUnbacked(FrameBytes(*cursor))) {
      ReadBudget::refuseUnbacked();
      return stopped();
    }
    if (!budget.admitFrame(int64_t{cursor->width} * cursor->height)) return stopped();
    // Steps may name the same large cursor over and over: the decoded cursors and all their
    // copies together must stay within what one plane may hold.
    total += FrameBytes(*cursor);
    if (total > MaxPlaneBytes()) {
      ShowMessage(msg::kNoMemoryFrameImage);
      return {};
    }
    ImagePtr frame = CopyImage(*cursor, cursor->activePalette);
    if (!frame) {
      ShowMessage(msg::kNoMemoryFrameImage);
      return {};
    }
    frame->delay = GifDelayToDocument(JiffiesToHundredths(step.rate), Prefs().timeBase());
    width = std::max(width, frame->width);
    height = std::max(height, frame->height);
    out.append(std::move(frame));
  }
  doc->screenWidth = width;
  doc->screenHeight = height;
  return {kReadComplete, std::move(doc)};
}

}  // namespace

LoadResult ReadAniMemory(const uint8_t* data, size_t size) {
  return ParseWithinMemory(msg::kNoMemoryFrameImage, [&] { return Read(data, size); });
}

LoadResult ReadAniFile(const std::string& path) {
  return ParseWholeFile(path, msg::kNoMemoryFrameImage, ReadAniMemory);
}

}  // namespace fw
