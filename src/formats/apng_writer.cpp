#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "core/frame_clip.h"
#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/write_failure.h"
#include "formats/apng_chunks.h"
#include "formats/format_messages.h"
#include "formats/png_file.h"
#include "formats/png_frame.h"

namespace fw {
namespace {

constexpr uint32_t kIdat = ChunkType("IDAT");
constexpr uint32_t kIhdr = ChunkType("IHDR");

// Chunks straight to the file; the first failure sticks.
class ChunkFile {
 public:
  explicit ChunkFile(std::FILE* file) : file_(file) {}
  bool ok() const { return ok_; }
  void raw(const void* data, size_t n) {
    if (ok_ && n && std::fwrite(data, 1, n, file_) != n) {
      ok_ = false;
      NoteWriteErrno();
    }
  }
  // `prefix` bytes (a sequence number) go before the data inside the same chunk.
  void chunk(uint32_t type, const uint8_t* prefix, size_t prefixBytes, const uint8_t* data, size_t n) {
    uint8_t head[8];
    PutBe32(head, static_cast<uint32_t>(prefixBytes + n));
    PutBe32(head + 4, type);
    uLong crc = crc32(0L, Z_NULL, 0);
    crc = crc32(crc, head + 4, 4);
    if (prefixBytes) crc = crc32(crc, prefix, static_cast<uInt>(prefixBytes));
    if (n) crc = crc32(crc, data, static_cast<uInt>(n));
    uint8_t tail[4];
    PutBe32(tail, static_cast<uint32_t>(crc));
    raw(head, 8);
    raw(prefix, prefixBytes);
    raw(data, n);
    raw(tail, 4);
  }

 private:
  std::FILE* file_;
  bool ok_ = true;
};

// The first image covers the whole canvas: a copy of it is put on a canvas-sized picture,
// transparent (or index 0, or black) around it.
ImagePtr FillToCanvas(const ImageBlock& frame, int width, int height) {
  ImagePtr canvas = CreateSizedImage(width, height);
  if (!canvas) return nullptr;
  canvas->activePalette = frame.activePalette;
  canvas->delay = frame.delay;
  canvas->controlFlags = frame.controlFlags;
  canvas->transparentIndex = frame.transparentIndex;
  canvas->blend = frame.blend;
  const int fw = PlaneWidth(frame), fh = PlaneHeight(frame);
  const int x0 = std::max(0, -frame.left), y0 = std::max(0, -frame.top);
  const int x1 = std::min(fw, width - frame.left), y1 = std::min(fh, height - frame.top);
  if (frame.indexedImage) {
    auto image = AllocIndexedImage(width, height, frame.activePalette);
    if (!image) return nullptr;
    FillIndexed(*image, frame.transparent() ? frame.transparentIndex : 0);
    for (int y = y0; y < y1 && x0 < x1; ++y)
      std::memcpy(image->row(frame.top + y) + frame.left + x0, frame.indexedImage->row(y) + x0,
                  static_cast<size_t>(x1 - x0));
    SetIndexedImage(*canvas, std::move(image));
  }
  if (const uint8_t* colour = TrueColourRows(frame)) {
    uint8_t* to = AddTrueColour(*canvas, true);
    if (!to) return nullptr;
    for (int y = y0; y < y1 && x0 < x1; ++y)
      std::memcpy(to + static_cast<size_t>(frame.top + y) * Stride24(width) + 3 * static_cast<size_t>(frame.left + x0),
                  colour + static_cast<size_t>(y) * Stride24(fw) + 3 * static_cast<size_t>(x0),
                  3 * static_cast<size_t>(x1 - x0));
    if (const uint8_t* alpha = AlphaRows(frame)) {
      uint8_t* a = AddAlpha(*canvas, true);
      if (!a) return nullptr;
      for (int y = y0; y < y1 && x0 < x1; ++y)
        std::memcpy(a + static_cast<size_t>(frame.top + y) * Stride8(width) + frame.left + x0,
                    alpha + static_cast<size_t>(y) * Stride8(fw) + x0, static_cast<size_t>(x1 - x0));
    }
  }
  return canvas;
}

bool InsideCanvas(const ImageBlock& f, int width, int height) {
  return f.left >= 0 && f.top >= 0 && int64_t{f.left} + PlaneWidth(f) <= width &&
         int64_t{f.top} + PlaneHeight(f) <= height;
}

// An fcTL must lie inside the canvas; a frame reaching out is written as its visible part.
const ImageBlock* Placed(const ImageBlock& frame, int width, int height, ImagePtr& holder) {
  if (InsideCanvas(frame, width, height)) return &frame;
  holder = CopyImage(frame, frame.activePalette);
  if (!holder) return nullptr;
  ClipFrameToScreen(*holder, width, height);
  if (!InsideCanvas(*holder, width, height)) {
    if (PlaneWidth(*holder) > width || PlaneHeight(*holder) > height) return nullptr;
    holder->left = std::clamp(holder->left, 0, width - PlaneWidth(*holder));
    holder->top = std::clamp(holder->top, 0, height - PlaneHeight(*holder));
  }
  return holder.get();
}

bool EncodeToMemory(const ImageBlock& frame, int minEntries, std::vector<uint8_t>& stream) {
  PngPictureOut picture;
  if (!DescribePngFrame(frame, minEntries, picture)) return false;
  stream.clear();
  PngOutput output;
  output.grow = &stream;
  return EncodePngStream(picture, output);
}

FrameControl ControlFor(const ImageBlock& frame, uint32_t sequence) {
  FrameControl fc;
  fc.sequence = sequence;
  fc.width = static_cast<uint32_t>(PlaneWidth(frame));
  fc.height = static_cast<uint32_t>(PlaneHeight(frame));
  fc.x = static_cast<uint32_t>(frame.left);
  fc.y = static_cast<uint32_t>(frame.top);
  fc.delayNumerator = static_cast<uint16_t>(std::clamp(frame.delay, 0, 0xFFFF));
  fc.delayDenominator = static_cast<uint16_t>(std::clamp(Prefs().timeBase(), 1, 0xFFFF));
  const int disposal = frame.disposal();
  fc.disposeOp = disposal == kDisposalBackground ? 1 : disposal == kDisposalPrevious ? 2 : 0;
  // A transparent palette frame is drawn over what is there, as in the GIF it may come from:
  // with "source" its clear pixels would wipe out the frames below.
  const bool seeThrough = PngDepthClass(frame) == 32 || (PngDepthClass(frame) == 8 && frame.transparent());
  fc.blendOp = frame.blend && seeThrough ? 1 : 0;
  return fc;
}

int Write(std::FILE* file, AnimHeader& doc) {
  const int width = std::max(1, doc.screenWidth), height = std::max(1, doc.screenHeight);
  const bool hidden = doc.hideFirstFrame != 0;
  int minEntries = 0;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    minEntries = std::max(minEntries, MaxIndexUsed(*f) + 1);
    if (f->activePalette) minEntries = std::max(minEntries, f->activePalette->count());
  }

  ChunkFile out(file);
  out.raw(kPngSignature, sizeof kPngSignature);
  std::vector<uint8_t> stream;
  uint32_t sequence = 0;
  int index = 0;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f), ++index) {
    ImagePtr holder;
    const ImageBlock* frame = f;
    if (index == 0) {
      if (f->left != 0 || f->top != 0 || PlaneWidth(*f) != width || PlaneHeight(*f) != height) {
        holder = FillToCanvas(*f, width, height);
        if (!holder) {
          ShowText("Unable to save the APNG due to memory constraints of filling the first frame.");
          return 0;
        }
        frame = holder.get();
      }
    } else {
      frame = Placed(*f, width, height, holder);
    }
    if (!frame || !EncodeToMemory(*frame, minEntries, stream)) {
      ShowMessage(fmsg::kPngEncodeError);
      return 0;
    }
    bool truncated = false;
    const std::vector<PngChunk> chunks = WalkPngChunks(stream.data(), stream.size(), truncated);
    if (truncated || chunks.empty() || chunks[0].type != kIhdr) {
      ShowMessage(fmsg::kPngEncodeError);
      return 0;
    }
    if (index == 0) {
      // IHDR, acTL, then what libpng put before the image data (PLTE, tRNS).
      for (const PngChunk& c : chunks) {
        if (c.type == kIdat) break;
        out.raw(stream.data() + c.offset, c.totalBytes());
        if (c.type == kIhdr) {
          uint8_t actl[8];
          PutBe32(actl, static_cast<uint32_t>(doc.frameCount - (hidden ? 1 : 0)));
          PutBe32(actl + 4, static_cast<uint32_t>(std::max(0, doc.playCount)));
          out.chunk(ChunkType("acTL"), nullptr, 0, actl, 8);
        }
      }
    }
    if (index > 0 || !hidden) {
      uint8_t fctl[26];
      StoreFrameControl(ControlFor(*frame, sequence++), fctl);
      out.chunk(ChunkType("fcTL"), nullptr, 0, fctl, sizeof fctl);
    }
    for (const PngChunk& c : chunks) {
      if (c.type != kIdat) continue;
      if (index == 0) {
        out.raw(stream.data() + c.offset, c.totalBytes());
      } else {
        uint8_t number[4];
        PutBe32(number, sequence++);
        out.chunk(ChunkType("fdAT"), number, 4, stream.data() + c.dataOffset(), c.length);
      }
    }
  }
  out.chunk(ChunkType("IEND"), nullptr, 0, nullptr, 0);
  // A refused write was noted for the save step, which names the target.
  return out.ok() ? 1 : 0;
}

}  // namespace

int CheckApngSavable(const AnimHeader& document) {
  const ImageBlock* first = FirstImage(&document);
  if (!first) return 0;
  auto key = [](const ImageBlock& f) { return f.transparent() ? int{f.transparentIndex} : -1; };
  const int reference = key(*first);
  int previousClass = PngDepthClass(*first);
  for (const ImageBlock* f = first; f; f = NextImage(f)) {
    const int depth = PngDepthClass(*f);
    if (depth != previousClass) {
      ShowText("Cannot save an animated PNG (APNG) with mixed resolutions. All the frames need to be either 8bit, "
               "24bit, or 32bit.");
      return 0;
    }
    previousClass = depth;
    if (depth != 8) continue;
    if (f->localPalette) {
      ShowText("Cannot save an animated PNG (APNG) with local palettes. Use Animation>Optimize to automatically "
               "remove local palettes.");
      return 0;
    }
    if (key(*f) != reference) {
      if (key(*f) < 0 || reference < 0)
        ShowText("Cannot save an animated PNG (APNG) with a mix of transparent and non-transparent frames.");
      else
        ShowText("Cannot save an animated PNG (APNG) with transparent frames that do not use the same transparent "
                 "index.");
      return 0;
    }
  }
  return 1;
}

int WriteApng(const std::string& path, AnimHeader& document) {
  if (document.frameCount <= 0) return 0;
  if (document.frameCount == 1) return WritePng(path, *FirstImage(&document), &document);
  if (!CheckApngSavable(document)) return 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    ShowMessage(fmsg::kCannotSaveTemp, path.c_str());
    return 0;
  }
  int result = 0;
  try {
    result = Write(file, document);
  } catch (const std::bad_alloc&) {
    ShowMessage(fmsg::kPngEncodeError);
    result = 0;
  }
  if (std::fclose(file) != 0 && result) {
    NoteWriteErrno();
    result = 0;
  }
  return result;
}

}  // namespace fw
