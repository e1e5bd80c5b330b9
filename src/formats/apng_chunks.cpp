#include "formats/apng_chunks.h"

#include <zlib.h>

#include <cstring>

namespace fw {
namespace {

constexpr uint32_t kIhdr = ChunkType("IHDR");
constexpr uint32_t kIdat = ChunkType("IDAT");
constexpr uint32_t kIend = ChunkType("IEND");
constexpr uint32_t kActl = ChunkType("acTL");
constexpr uint32_t kFctl = ChunkType("fcTL");
constexpr uint32_t kFdat = ChunkType("fdAT");
constexpr size_t kFctlBytes = 26;

uint32_t ChunkCrc(const uint8_t* typeAndData, size_t length) {
  uLong crc = crc32(0L, Z_NULL, 0);
  // zlib takes a 32-bit length; chunk lengths are below 2^31 so one call suffices.
  crc = crc32(crc, typeAndData, static_cast<uInt>(length + 4));
  return static_cast<uint32_t>(crc);
}

}  // namespace

std::vector<PngChunk> WalkPngChunks(const uint8_t* data, size_t size, bool& truncated) {
  std::vector<PngChunk> chunks;
  truncated = false;
  size_t at = sizeof kPngSignature;
  while (at < size) {
    if (size - at < 12) {
      truncated = true;
      break;
    }
    PngChunk c;
    c.offset = at;
    c.length = Be32(data + at);
    c.type = Be32(data + at + 4);
    if (c.length > 0x7FFFFFFFu || size - at - 12 < c.length) {
      truncated = true;
      break;
    }
    c.crcOk = ChunkCrc(data + at + 4, c.length) == Be32(data + at + 8 + c.length);
    chunks.push_back(c);
    at += c.totalBytes();
    if (c.type == kIend) break;
  }
  return chunks;
}

void AppendPngChunk(std::vector<uint8_t>& out, uint32_t type, const uint8_t* data, size_t length) {
  const size_t start = out.size();
  out.resize(start + 12 + length);
  uint8_t* p = out.data() + start;
  PutBe32(p, static_cast<uint32_t>(length));
  PutBe32(p + 4, type);
  if (length) std::memcpy(p + 8, data, length);
  PutBe32(p + 8 + length, ChunkCrc(p + 4, length));
}

FrameControl ParseFrameControl(const uint8_t* p) {
  FrameControl fc;
  fc.sequence = Be32(p);
  fc.width = Be32(p + 4);
  fc.height = Be32(p + 8);
  fc.x = Be32(p + 12);
  fc.y = Be32(p + 16);
  fc.delayNumerator = static_cast<uint16_t>(p[20] << 8 | p[21]);
  fc.delayDenominator = static_cast<uint16_t>(p[22] << 8 | p[23]);
  fc.disposeOp = p[24];
  fc.blendOp = p[25];
  return fc;
}

void StoreFrameControl(const FrameControl& fc, uint8_t* p) {
  PutBe32(p, fc.sequence);
  PutBe32(p + 4, fc.width);
  PutBe32(p + 8, fc.height);
  PutBe32(p + 12, fc.x);
  PutBe32(p + 16, fc.y);
  p[20] = uint8_t(fc.delayNumerator >> 8);
  p[21] = uint8_t(fc.delayNumerator);
  p[22] = uint8_t(fc.delayDenominator >> 8);
  p[23] = uint8_t(fc.delayDenominator);
  p[24] = fc.disposeOp;
  p[25] = fc.blendOp;
}

ApngLayout ParseApngLayout(const uint8_t* data, const std::vector<PngChunk>& chunks) {
  ApngLayout layout;
  if (chunks.empty() || chunks[0].type != kIhdr || chunks[0].length != 13) return layout;
  const uint32_t canvasWidth = Be32(data + chunks[0].dataOffset());
  const uint32_t canvasHeight = Be32(data + chunks[0].dataOffset() + 4);

  // An acTL counts only when it is the one acTL and comes before the image data; otherwise the
  // file is shown as the still image it also is.
  size_t firstIdat = chunks.size();
  int actlCount = 0;
  bool actlBeforeIdat = false;
  for (size_t i = 0; i < chunks.size(); ++i) {
    if (chunks[i].type == kIdat && firstIdat == chunks.size()) firstIdat = i;
    if (chunks[i].type == kActl) {
      ++actlCount;
      if (firstIdat == chunks.size() && chunks[i].length == 8 && chunks[i].crcOk) {
        actlBeforeIdat = true;
        layout.frameCount = Be32(data + chunks[i].dataOffset());
        layout.playCount = Be32(data + chunks[i].dataOffset() + 4);
      }
    }
  }
  for (size_t i = 1; i < firstIdat; ++i)
    if (chunks[i].type != kActl && chunks[i].type != kFctl && chunks[i].type != kFdat)
      layout.sharedChunks.push_back(i);
  if (actlCount != 1 || !actlBeforeIdat || layout.frameCount == 0 || layout.frameCount > 0x7FFFFFFFu ||
      firstIdat == chunks.size())
    return layout;
  layout.animated = true;
  // The default image belongs to the animation exactly when an fcTL comes before its data.
  layout.defaultHidden = true;
  for (size_t i = 1; i < firstIdat; ++i)
    if (chunks[i].type == kFctl) layout.defaultHidden = false;

  uint32_t expectedSequence = 0;
  bool seenIdat = false;
  for (size_t i = 1; i < chunks.size() && !layout.damaged; ++i) {
    const PngChunk& c = chunks[i];
    const uint8_t* p = data + c.dataOffset();
    if (c.type == kIdat) {
      seenIdat = true;
    } else if (c.type == kFctl) {
      if (c.length != kFctlBytes || !c.crcOk) {
        layout.damaged = true;
        break;
      }
      const FrameControl fc = ParseFrameControl(p);
      const bool inside = fc.width > 0 && fc.height > 0 && fc.x <= canvasWidth && fc.width <= canvasWidth - fc.x &&
                          fc.y <= canvasHeight && fc.height <= canvasHeight - fc.y;
      // The frame that owns the default image must cover the whole canvas.
      const bool defaultFrame = !seenIdat;
      const bool fullCanvas = fc.x == 0 && fc.y == 0 && fc.width == canvasWidth && fc.height == canvasHeight;
      if (fc.sequence != expectedSequence || !inside || fc.disposeOp > 2 || fc.blendOp > 1 ||
          (defaultFrame && !fullCanvas)) {
        layout.damaged = true;
        break;
      }
      ++expectedSequence;
      ApngLayout::Frame frame;
      frame.control = fc;
      frame.usesIdat = defaultFrame;
      layout.frames.push_back(std::move(frame));
    } else if (c.type == kFdat) {
      if (!seenIdat || layout.frames.empty() || layout.frames.back().usesIdat || c.length < 4 || !c.crcOk ||
          Be32(p) != expectedSequence) {
        // The frame this data belongs to can no longer be trusted to be whole.
        if (!layout.frames.empty() && !layout.frames.back().usesIdat) layout.frames.pop_back();
        layout.damaged = true;
        break;
      }
      ++expectedSequence;
      layout.frames.back().dataChunks.push_back(i);
    }
  }
  // A frame announced by fcTL whose data never came is not a frame.
  while (!layout.frames.empty() && !layout.frames.back().usesIdat && layout.frames.back().dataChunks.empty()) {
    layout.frames.pop_back();
    layout.damaged = true;
  }
  return layout;
}

std::vector<uint8_t> BuildFrameStream(const uint8_t* data, const std::vector<PngChunk>& chunks,
                                      const ApngLayout& layout, size_t index) {
  const ApngLayout::Frame& frame = layout.frames[index];
  std::vector<uint8_t> out(kPngSignature, kPngSignature + sizeof kPngSignature);
  uint8_t ihdr[13];
  std::memcpy(ihdr, data + chunks[0].dataOffset(), 13);
  PutBe32(ihdr, frame.control.width);
  PutBe32(ihdr + 4, frame.control.height);
  AppendPngChunk(out, kIhdr, ihdr, 13);
  for (size_t i : layout.sharedChunks) {
    const PngChunk& c = chunks[i];
    out.insert(out.end(), data + c.offset, data + c.offset + c.totalBytes());
  }
  for (size_t i : frame.dataChunks) {
    const PngChunk& c = chunks[i];
    AppendPngChunk(out, kIdat, data + c.dataOffset() + 4, c.length - 4);
  }
  AppendPngChunk(out, kIend, nullptr, 0);
  return out;
}

}  // namespace fw
