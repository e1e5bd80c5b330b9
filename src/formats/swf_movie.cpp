#include "formats/swf_movie.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "formats/file_bytes.h"

namespace fw::swf {
namespace {

void U8(std::vector<uint8_t>& b, uint32_t v) { b.push_back(static_cast<uint8_t>(v)); }
void U16(std::vector<uint8_t>& b, uint32_t v) {
  U8(b, v);
  U8(b, v >> 8);
}
void U32(std::vector<uint8_t>& b, uint32_t v) {
  U16(b, v & 0xFFFF);
  U16(b, v >> 16);
}

void TagHeader(std::vector<uint8_t>& out, int code, size_t length) {
  if (length < 63) {
    U16(out, static_cast<uint32_t>(code) << 6 | static_cast<uint32_t>(length));
  } else {
    U16(out, static_cast<uint32_t>(code) << 6 | 63);
    U32(out, static_cast<uint32_t>(length));
  }
}

void Rect(BitWriter& w, int32_t xMin, int32_t xMax, int32_t yMin, int32_t yMax, int minimumBits) {
  const int n = std::max(minimumBits, SignedBitsFor({xMin, xMax, yMin, yMax}));
  w.bits(static_cast<uint32_t>(n), 5);
  w.signedBits(xMin, n);
  w.signedBits(xMax, n);
  w.signedBits(yMin, n);
  w.signedBits(yMax, n);
  w.align();
}

// Scale as 16.16 fixed point, optional rotation fields, translation in twips.
void Matrix(BitWriter& w, int32_t scaleX, int32_t scaleY, bool rotate, int32_t translateX, int32_t translateY) {
  w.bits(1, 1);
  const int scaleBits = SignedBitsFor({scaleX, scaleY});
  w.bits(static_cast<uint32_t>(scaleBits), 5);
  w.signedBits(scaleX, scaleBits);
  w.signedBits(scaleY, scaleBits);
  w.bits(rotate ? 1 : 0, 1);
  if (rotate) w.bits(0, 5);  // no bits: both skew values are 0
  const int translateBits = SignedBitsFor({translateX, translateY});
  w.bits(static_cast<uint32_t>(translateBits), 5);
  w.signedBits(translateX, translateBits);
  w.signedBits(translateY, translateBits);
  w.align();
}

bool Deflate(const std::vector<uint8_t>& in, std::vector<uint8_t>& out) {
  uLongf size = compressBound(static_cast<uLong>(in.size()));
  const size_t start = out.size();
  out.resize(start + size);
  if (compress2(out.data() + start, &size, in.data(), static_cast<uLong>(in.size()), 9) != Z_OK) return false;
  out.resize(start + size);
  return true;
}

}  // namespace

void BitWriter::bits(uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    pending_ = pending_ << 1 | ((value >> i) & 1);
    if (++pendingBits_ == 8) {
      out_.push_back(static_cast<uint8_t>(pending_));
      pending_ = 0;
      pendingBits_ = 0;
    }
  }
}

void BitWriter::align() {
  if (pendingBits_ > 0) bits(0, 8 - pendingBits_);
}

int SignedBitsFor(std::initializer_list<int32_t> values) {
  int needed = 0;
  for (int32_t v : values) {
    if (v == 0) continue;
    const uint32_t magnitude = v < 0 ? ~static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
    int bits = 1;
    while (bits < 32 && (magnitude >> (bits - 1)) != 0) ++bits;
    needed = std::max(needed, bits);
  }
  return needed;
}

Movie::Movie(int stageWidth, int stageHeight) {
  const int largest = std::max(stageWidth, stageHeight);
  // Every stage coordinate times the factor must stay within the 15 bits the header uses.
  twips_ = largest < 820 ? 20 : std::max(1, 16383 / std::max(1, largest));
}

std::vector<Movie::Tag>& Movie::frame(int index) {
  if (static_cast<int>(frames_.size()) <= index) frames_.resize(static_cast<size_t>(index) + 1);
  return frames_[static_cast<size_t>(index)];
}

void Movie::place(int frames, int removal, int width, int height, int left, int top, Tag bitmap, int bitmapId) {
  const int f = twips_;
  const int32_t x1 = left * f, y1 = top * f, x2 = (left + width) * f, y2 = (top + height) * f;
  const int shapeId = nextId_++;

  Tag shape;
  shape.code = kTagDefineShape3;
  std::vector<uint8_t>& s = shape.body;
  U16(s, static_cast<uint32_t>(shapeId));
  BitWriter w(s);
  Rect(w, x1, x2, y1, y2, 0);
  U8(s, 2);  // fill styles
  U8(s, 0x41);
  U16(s, 0xFFFF);
  Matrix(w, 10 << 16, 10 << 16, false, 0, 0);
  U8(s, 0x41);
  U16(s, static_cast<uint32_t>(bitmapId));
  Matrix(w, f << 16, f << 16, false, x1, y1);
  U8(s, 0);  // line styles
  const int fillBits = 2, lineBits = 0;
  w.bits(fillBits, 4);
  w.bits(lineBits, 4);
  // Style change: move to the corner, fill style 1 is the bitmap, line style 0.
  w.bits(0, 1);  // not an edge
  w.bits(0, 1);  // no new styles
  w.bits(1, 1);  // line style
  w.bits(1, 1);  // fill style 1
  w.bits(0, 1);  // fill style 0
  w.bits(1, 1);  // move to
  const int moveBits = std::max(1, SignedBitsFor({x1, y1}));
  w.bits(static_cast<uint32_t>(moveBits), 5);
  w.signedBits(x1, moveBits);
  w.signedBits(y1, moveBits);
  w.bits(2, fillBits);
  const int32_t dx = x2 - x1, dy = y2 - y1;
  const int edgeBits = std::max(2, SignedBitsFor({dx, dy, -dx, -dy}));
  auto edge = [&](bool vertical, int32_t delta) {
    w.bits(1, 1);  // edge
    w.bits(1, 1);  // straight
    w.bits(static_cast<uint32_t>(edgeBits - 2), 4);
    w.bits(0, 1);  // not a general line
    w.bits(vertical ? 1 : 0, 1);
    w.signedBits(delta, edgeBits);
  };
  edge(false, dx);
  edge(true, dy);
  edge(false, -dx);
  edge(true, -dy);
  w.bits(0, 6);  // end of shape
  w.align();

  Tag placeTag;
  placeTag.code = kTagPlaceObject2;
  placeTag.shape = shapeId;
  Tag removeTag;
  removeTag.code = kTagRemoveObject;
  removeTag.shape = shapeId;

  std::vector<Tag>& first = frame(counter_ + 1);
  first.push_back(std::move(bitmap));
  first.push_back(std::move(shape));
  first.push_back(std::move(placeTag));
  shapes_.push_back(shapeId);
  counter_ += std::max(0, frames);
  frame(std::max(counter_, 0));
  if (removal != kStays) frame(counter_ + 1).push_back(std::move(removeTag));
}

bool Movie::addIndexed(int frames, int removal, int width, int height, int left, int top, const uint8_t* pixels,
                       size_t stride, const uint8_t* palette, int colours, int transparent) {
  colours = std::clamp(colours, 1, 256);
  const bool clear = transparent >= 0 && transparent < colours;
  std::vector<uint8_t> raw;
  for (int i = 0; i < colours; ++i) {
    const bool off = clear && i == transparent;
    for (int c = 0; c < 3; ++c) raw.push_back(off ? 0 : palette[3 * i + c]);
    if (clear) raw.push_back(off ? 0 : 255);
  }
  const size_t rowBytes = (static_cast<size_t>(width) + 3) / 4 * 4;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
    raw.insert(raw.end(), row, row + width);
    raw.resize(raw.size() + rowBytes - static_cast<size_t>(width), 0);
  }
  Tag bitmap;
  bitmap.code = clear ? kTagDefineBitsLossless2 : kTagDefineBitsLossless;
  const int id = nextId_++;
  U16(bitmap.body, static_cast<uint32_t>(id));
  U8(bitmap.body, 3);
  U16(bitmap.body, static_cast<uint32_t>(width));
  U16(bitmap.body, static_cast<uint32_t>(height));
  U8(bitmap.body, static_cast<uint32_t>(colours - 1));
  if (!Deflate(raw, bitmap.body)) return false;
  place(frames, removal, width, height, left, top, std::move(bitmap), id);
  return true;
}

bool Movie::addTrueColour(int frames, int removal, int width, int height, int left, int top, const uint8_t* bgr,
                          size_t stride, const uint8_t* alpha, size_t alphaStride) {
  std::vector<uint8_t> raw;
  raw.reserve(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
  for (int y = 0; y < height; ++y) {
    const uint8_t* c = bgr + static_cast<size_t>(y) * stride;
    const uint8_t* a = alpha + static_cast<size_t>(y) * alphaStride;
    for (int x = 0; x < width; ++x) {
      // Colours are stored multiplied by their alpha.
      const uint32_t al = a[x];
      raw.push_back(static_cast<uint8_t>(al));
      raw.push_back(static_cast<uint8_t>(c[3 * x + 2] * al / 255));
      raw.push_back(static_cast<uint8_t>(c[3 * x + 1] * al / 255));
      raw.push_back(static_cast<uint8_t>(c[3 * x] * al / 255));
    }
  }
  Tag bitmap;
  bitmap.code = kTagDefineBitsLossless2;
  const int id = nextId_++;
  U16(bitmap.body, static_cast<uint32_t>(id));
  U8(bitmap.body, 5);
  U16(bitmap.body, static_cast<uint32_t>(width));
  U16(bitmap.body, static_cast<uint32_t>(height));
  if (!Deflate(raw, bitmap.body)) return false;
  place(frames, removal, width, height, left, top, std::move(bitmap), id);
  return true;
}

bool Movie::addJpeg(int frames, int removal, int width, int height, int left, int top, const std::vector<uint8_t>& jpeg) {
  Tag bitmap;
  bitmap.code = kTagDefineBitsJpeg2;
  const int id = nextId_++;
  U16(bitmap.body, static_cast<uint32_t>(id));
  // Old players expect an empty table stream before the image.
  bitmap.body.insert(bitmap.body.end(), {0xFF, 0xD9, 0xFF, 0xD8});
  bitmap.body.insert(bitmap.body.end(), jpeg.begin(), jpeg.end());
  bitmap.body.insert(bitmap.body.end(), {0xFF, 0xD9});
  place(frames, removal, width, height, left, top, std::move(bitmap), id);
  return true;
}

std::vector<uint8_t> Movie::serialise(int stageWidth, int stageHeight, int frameRate) const {
  std::vector<uint8_t> out = {'F', 'W', 'S', 4, 0, 0, 0, 0};
  {
    BitWriter w(out);
    Rect(w, 0, stageWidth * twips_, 0, stageHeight * twips_, 15);
  }
  U8(out, 0);  // frame rate, 8.8 fixed point
  U8(out, static_cast<uint32_t>(std::clamp(frameRate, 0, 255)));
  U16(out, static_cast<uint32_t>(frames_.size()));
  for (const std::vector<Tag>& tags : frames_) {
    for (const Tag& t : tags) {
      std::vector<uint8_t> body = t.body;
      if (t.shape) {
        const uint32_t depth = static_cast<uint32_t>(std::find(shapes_.begin(), shapes_.end(), t.shape) - shapes_.begin());
        if (t.code == kTagPlaceObject2) {
          U8(body, 0x06);  // has matrix, has character
          U16(body, depth);
          U16(body, static_cast<uint32_t>(t.shape));
          BitWriter w(body);
          Matrix(w, 1 << 16, 1 << 16, true, 0, 0);
        } else {
          U16(body, static_cast<uint32_t>(t.shape));
          U16(body, depth);
        }
      }
      TagHeader(out, t.code, body.size());
      out.insert(out.end(), body.begin(), body.end());
    }
    TagHeader(out, kTagShowFrame, 0);
  }
  TagHeader(out, kTagEnd, 0);
  const uint32_t length = static_cast<uint32_t>(out.size());
  for (int i = 0; i < 4; ++i) out[4 + static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (8 * i));
  return out;
}

int Movie::write(const std::string& path, int stageWidth, int stageHeight, int frameRate) const {
  const std::vector<uint8_t> bytes = serialise(stageWidth, stageHeight, frameRate);
  return WriteFileBytes(path, bytes.data(), bytes.size()) ? 1 : 0;
}

}  // namespace fw::swf
