#include "core/clipboard_record.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/read_budget.h"
#include "core/string_table.h"

namespace fw {
namespace {

using namespace clip_record;

class RecordWriter {
 public:
  std::vector<uint8_t> bytes;

  void u8(uint32_t v) { bytes.push_back(static_cast<uint8_t>(v)); }
  void u16(uint32_t v) {
    u8(v);
    u8(v >> 8);
  }
  void u32(uint32_t v) {
    u16(v);
    u16(v >> 16);
  }
  void i32(int32_t v) { u32(static_cast<uint32_t>(v)); }
  void flag(bool present) { u32(present ? 1 : 0); }
  void zeros(size_t n) { bytes.insert(bytes.end(), n, 0); }
  void raw(const uint8_t* p, size_t n) { bytes.insert(bytes.end(), p, p + n); }
};

// Reads only inside the record; every take() says whether the bytes were there.
class RecordReader {
 public:
  RecordReader(const uint8_t* data, size_t size) : p_(data), left_(size) {}
  size_t left() const { return left_; }
  const uint8_t* take(size_t n) {
    if (n > left_) return nullptr;
    const uint8_t* at = p_;
    p_ += n;
    left_ -= n;
    return at;
  }
  const uint8_t* peek() const { return p_; }

 private:
  const uint8_t* p_;
  size_t left_;
};

uint32_t Le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Le32(const uint8_t* p) { return Le16(p) | Le16(p + 2) << 16; }
int32_t LeI32(const uint8_t* p) { return static_cast<int32_t>(Le32(p)); }

void WritePalette(RecordWriter& w, const Palette& palette) {
  w.u16(kPaletteVersion);
  w.u16(static_cast<uint32_t>(palette.count()));
  for (int i = 0; i < 256; ++i) {
    if (i < palette.count()) {
      w.u8(palette[i].r);
      w.u8(palette[i].g);
      w.u8(palette[i].b);
      w.u8(0);
    } else {
      w.zeros(4);
    }
  }
  w.zeros(kPaletteBytes - 4 - 256 * 4);  // the record has room for one entry more than it uses
}

std::unique_ptr<Palette> ReadPalette(RecordReader& r) {
  const uint8_t* p = r.take(kPaletteBytes);
  if (!p || Le16(p) != kPaletteVersion) return nullptr;
  const int count = static_cast<int>(Le16(p + 2));
  if (count < 1 || count > 256) return nullptr;
  Rgb entries[256];
  for (int i = 0; i < count; ++i) entries[i] = {p[4 + 4 * i], p[5 + 4 * i], p[6 + 4 * i]};
  return Palette::Create(entries, count);
}

void WriteHeader(RecordWriter& w, const AnimHeader& d, int frames) {
  w.i32(d.screenWidth);
  w.i32(d.screenHeight);
  w.i32(d.playCount);
  w.u16(static_cast<uint32_t>(d.frameCount));  // the record's field is 16 bits wide
  w.zeros(2);
  w.i32(d.hideFirstFrame);
  w.flag(true);  // block list
  w.i32(d.selectionAnchor);
  w.i32(frames);
  w.flag(d.globalPalette != nullptr);
  w.u8(d.screenFlags);
  w.u8(d.backgroundIndex);
  w.u8(d.aspectByte);
  w.zeros(1);
  w.i32(d.encodedSize);
  for (int32_t n : d.colourUsage) w.i32(n);
  w.flag(d.nextInChain != nullptr);
}

// The row size the record uses for a frame: its indexed image's, which stores 0 as 1.
struct RecordSize {
  int32_t width, height;  // as written in the frame image
  int rowsWidth, rowsHeight;
};

RecordSize SizeOf(const ImageBlock& f) {
  const int w = PlaneWidth(f), h = PlaneHeight(f);
  // A frame whose fields disagree with its pixels is described by its pixels.
  const bool consistent = w == std::max(1, f.width) && h == std::max(1, f.height);
  return consistent ? RecordSize{f.width, f.height, w, h} : RecordSize{w, h, w, h};
}

void WriteFrame(RecordWriter& w, const ImageBlock& f) {
  const RecordSize size = SizeOf(f);
  const uint8_t* colour = TrueColourRows(f);
  const uint8_t* alpha = AlphaRows(f);
  w.u8(block_kind::kImage);
  w.zeros(3);
  w.flag(f.next != nullptr);
  w.flag(f.prev != nullptr);
  w.i32(f.selected);
  w.i32(f.formerIndex);
  w.i32(f.left);
  w.i32(f.top);
  w.i32(size.width);
  w.i32(size.height);
  w.i32(f.hotspotX);
  w.i32(f.hotspotY);
  w.zeros(4);  // name: an atom means nothing in another process; the text follows the rows
  w.flag(f.activePalette != nullptr);
  w.flag(f.localPalette != nullptr);
  w.i32(f.delay);
  w.i32(f.blend);
  w.u8(f.controlFlags);
  w.u8(f.transparentIndex);
  w.u8(f.descriptorFlags);
  w.zeros(1);
  w.zeros(8);  // mask and indexed image handles
  w.flag(f.indexedImage != nullptr);
  w.flag(colour != nullptr);
  w.flag(alpha != nullptr);
  w.zeros(4);  // display copy

  if (f.localPalette) WritePalette(w, *f.localPalette);

  const size_t stride8 = Stride8(size.rowsWidth), rows = static_cast<size_t>(size.rowsHeight);
  const size_t indexedBytes = stride8 * rows;
  if (f.indexedImage && f.indexedImage->pixels.size() >= indexedBytes)
    w.raw(f.indexedImage->pixels.data(), indexedBytes);
  else
    w.zeros(indexedBytes);
  if (colour) w.raw(colour, Stride24(size.rowsWidth) * rows);
  if (alpha) w.raw(alpha, indexedBytes);

  const std::string name = FrameName(f);
  w.raw(reinterpret_cast<const uint8_t*>(name.data()), name.size());
  w.u8(0);
}

// Copies `bytes` rows out of the record into a new plane; false when the record is too short.
bool ReadPlane(RecordReader& r, std::vector<uint8_t>& plane, size_t rowBytes, size_t rows) {
  if (!PlaneSizeAllowed(rowBytes, rows)) return false;
  const size_t n = rowBytes * rows;
  const uint8_t* p = r.take(n);  // checked before anything is allocated
  if (!p) return false;
  plane.assign(p, p + n);
  return true;
}

ImagePtr ReadFrame(RecordReader& r, AnimHeader& doc) {
  const uint8_t* p = r.take(kFrameBytes);
  if (!p || p[0] != block_kind::kImage) return nullptr;
  const int32_t width = LeI32(p + 28), height = LeI32(p + 32);
  if (width < 0 || height < 0) return nullptr;
  const bool hasLocal = Le32(p + 52) != 0;
  const bool hasColour = Le32(p + 80) != 0;
  const bool hasAlpha = Le32(p + 84) != 0;
  if (hasAlpha && !hasColour) return nullptr;  // alpha never comes without true colour

  ImagePtr f = CreateImageBlock(nullptr);
  if (!f) return nullptr;
  f->formerIndex = LeI32(p + 16);
  f->left = LeI32(p + 20);
  f->top = LeI32(p + 24);
  f->width = width;
  f->height = height;
  f->hotspotX = LeI32(p + 36);
  f->hotspotY = LeI32(p + 40);
  f->delay = LeI32(p + 56);
  f->blend = LeI32(p + 60);
  f->controlFlags = p[64];
  f->transparentIndex = p[65];
  // Only the interlace and sort bits are taken: bit 7 and the size code describe the local
  // palette, which sets them itself.
  f->descriptorFlags = static_cast<uint8_t>(p[66] & 0x60);
  if (hasLocal) {
    auto palette = ReadPalette(r);
    if (!palette) return nullptr;
    SetLocalPalette(*f, std::move(palette));
  } else {
    f->activePalette = doc.globalPalette.get();
  }

  const int w = std::max(1, width), h = std::max(1, height);
  const size_t stride8 = Stride8(w), rows = static_cast<size_t>(h);
  if (!PlaneSizeAllowed(stride8, rows) || stride8 * rows > r.left()) return nullptr;
  auto image = AllocIndexedImage(w, h, f->activePalette);
  if (!image) return nullptr;
  std::memcpy(image->pixels.data(), r.take(stride8 * rows), stride8 * rows);
  if (hasColour && !ReadPlane(r, f->trueColour, Stride24(w), rows)) return nullptr;
  if (hasAlpha && !ReadPlane(r, f->alpha, stride8, rows)) return nullptr;
  SetIndexedImage(*f, std::move(image));  // builds the display mask when transparency is on

  const uint8_t* text = r.peek();
  const uint8_t* end = static_cast<const uint8_t*>(std::memchr(text, 0, r.left()));
  if (!end) return nullptr;  // the name must end inside the record
  const std::string name(reinterpret_cast<const char*>(text), static_cast<size_t>(end - text));
  r.take(name.size() + 1);
  SetFrameName(*f, name.c_str());
  return f;
}

}  // namespace

std::vector<uint8_t> PackFrames(const AnimHeader& document) {
  int frames = 0;
  for (const ImageBlock* f = FirstSelected(&document); f; f = NextSelected(f)) ++frames;
  if (frames == 0) return {};
  try {
    RecordWriter w;
    WriteHeader(w, document, frames);
    if (document.globalPalette) WritePalette(w, *document.globalPalette);
    for (const ImageBlock* f = FirstSelected(&document); f; f = NextSelected(f)) WriteFrame(w, *f);
    return std::move(w.bytes);
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryClipboard);
    return {};
  }
}

AnimPtr UnpackFrames(const uint8_t* data, size_t size) {
  if (!data) return nullptr;
  RecordReader r(data, size);
  const uint8_t* h = r.take(kHeaderBytes);
  if (!h) return nullptr;
  const int32_t screenWidth = LeI32(h), screenHeight = LeI32(h + 4), playCount = LeI32(h + 8);
  const int32_t frames = LeI32(h + 28);
  if (screenWidth < 0 || screenHeight < 0 || playCount < 0 || playCount > 65536) return nullptr;
  // Each frame takes at least its image, one row of four bytes and its name's zero byte.
  if (frames <= 0 || static_cast<size_t>(frames) > r.left() / (kFrameBytes + 4 + 1)) return nullptr;

  try {
    AnimPtr doc = CreateAnimation();
    if (!doc) return nullptr;
    doc->screenWidth = screenWidth;
    doc->screenHeight = screenHeight;
    doc->playCount = playCount;
    doc->hideFirstFrame = LeI32(h + 16);
    doc->backgroundIndex = h[37];
    doc->aspectByte = h[38];
    // The cached size was the source document's; this one has not been measured.
    doc->encodedSize = -1;
    if (Le32(h + 32) != 0) {
      auto palette = ReadPalette(r);
      if (!palette) return nullptr;
      SetGlobalPalette(*doc, std::move(palette));
    }
    // Every plane is in the record, so only the document's pixel limit can refuse its frames.
    ReadBudgetScope budget;
    BlockAppender out(*doc);
    for (int32_t i = 0; i < frames; ++i) {
      ImagePtr frame = ReadFrame(r, *doc);
      if (!frame || !budget.admitFrame(int64_t{std::max(frame->width, 1)} * std::max(frame->height, 1))) return nullptr;
      out.append(std::move(frame));
    }
    if (r.left() != 0) return nullptr;  // more bytes than the frames account for
    ClearSelection(*doc);
    ComputeColourUsage(*doc, doc->colourUsage.data(), true);
    return doc;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace fw
