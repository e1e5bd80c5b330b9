#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "formats/apng_chunks.h"
#include "formats/apng_source_blend.h"
#include "formats/file_bytes.h"
#include "formats/filmstrip.h"
#include "formats/format_messages.h"
#include "formats/png_codec.h"
#include "formats/png_file.h"

namespace fw {
namespace {

struct FrameHead {
  bool present = false;
  FrameControl control;
};

std::unique_ptr<Palette> GreyRamp(int bitDepth) {
  const int n = 1 << std::min(bitDepth, 8);
  const int step = 255 / (n - 1);
  std::vector<Rgb> entries(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    const auto v = static_cast<uint8_t>(i * step);
    entries[static_cast<size_t>(i)] = {v, v, v};
  }
  return Palette::Create(entries.data(), n);
}

// Partial alpha cannot be shown by a palette frame: every index that is not opaque becomes
// the one transparent index.
void ApplyPaletteTransparency(ImageBlock& block, const std::vector<uint8_t>& alpha) {
  bool see[256] = {};
  int first = -1;
  for (size_t i = 0; i < alpha.size() && i < 256; ++i) {
    if (alpha[i] == 255) continue;
    see[i] = true;
    if (first < 0) first = static_cast<int>(i);
  }
  if (first < 0) return;
  SetTransparentIndex(block, first);
  SetTransparency(block, true);
  IndexedImage& image = *block.indexedImage;
  for (int y = 0; y < image.height; ++y) {
    uint8_t* row = image.row(y);
    for (int x = 0; x < image.width; ++x)
      if (see[row[x]]) row[x] = static_cast<uint8_t>(first);
  }
}

// Builds the block of one decoded picture. False when memory runs out.
bool AddPictureBlock(BlockAppender& out, const PngPicture& pic, const FrameHead& head) {
  AnimHeader& doc = out.header();
  const int width = static_cast<int>(pic.width), height = static_cast<int>(pic.height);
  ImagePtr block = CreateSizedImage(width, height);
  if (!block) return false;
  // A still picture keeps the default delay the new block was given.
  int disposeOp = 0, blendOp = 0;
  if (head.present) {
    block->left = static_cast<int32_t>(head.control.x);
    block->top = static_cast<int32_t>(head.control.y);
    const int denominator = head.control.delayDenominator ? head.control.delayDenominator : 100;
    block->delay = static_cast<int32_t>(int64_t{head.control.delayNumerator} * Prefs().timeBase() / denominator);
    disposeOp = head.control.disposeOp;
    blendOp = head.control.blendOp;
  }
  SetDisposal(*block, disposeOp == 1 ? kDisposalBackground : disposeOp == 2 ? kDisposalPrevious : kDisposalLeave);
  block->blend = blendOp == 1 ? 1 : 0;

  const int type = pic.colourType;
  if (type == 3 || type == 0) {
    if (!doc.globalPalette) {
      std::unique_ptr<Palette> palette;
      if (type == 3 && !pic.palette.empty())
        palette = Palette::Create(pic.palette.data(), static_cast<int>(std::min<size_t>(pic.palette.size(), 256)));
      else
        palette = GreyRamp(type == 3 ? 8 : pic.bitDepth);
      if (!palette) return false;
      SetGlobalPalette(doc, std::move(palette));
    }
    block->activePalette = doc.globalPalette.get();
    auto image = AllocIndexedImage(width, height, block->activePalette);
    if (!image) return false;
    for (int y = 0; y < height; ++y)
      std::memcpy(image->row(y), pic.rows.data() + static_cast<size_t>(y) * pic.rowBytes, static_cast<size_t>(width));
    SetIndexedImage(*block, std::move(image));
    if (type == 3) ApplyPaletteTransparency(*block, pic.trnsAlpha);
    // Grey levels are their own indexes, so a grey key is the transparent index.
    if (type == 0 && pic.greyKey >= 0) {
      SetTransparentIndex(*block, pic.greyKey);
      SetTransparency(*block, true);
    }
  } else {
    uint8_t* colour = AddTrueColour(*block, true);
    uint8_t* alpha = (type == 6 || type == 4) ? AddAlpha(*block, true) : nullptr;
    if (!colour || ((type == 6 || type == 4) && !alpha)) return false;
    const size_t cs = Stride24(width), as = Stride8(width);
    for (int y = 0; y < height; ++y) {
      const uint8_t* src = pic.rows.data() + static_cast<size_t>(y) * pic.rowBytes;
      uint8_t* c = colour + static_cast<size_t>(y) * cs;
      if (type == 2) {
        std::memcpy(c, src, static_cast<size_t>(width) * 3);
        continue;
      }
      uint8_t* a = alpha + static_cast<size_t>(y) * as;
      for (int x = 0; x < width; ++x) {
        if (type == 6) {
          std::memcpy(c + 3 * x, src + 4 * x, 3);
          a[x] = src[4 * x + 3];
        } else {
          c[3 * x] = c[3 * x + 1] = c[3 * x + 2] = src[2 * x];
          a[x] = src[2 * x + 1];
        }
      }
    }
  }
  out.append(std::move(block));
  return true;
}

// A pAni chunk turns the one picture into the frames of the strip it holds.
void ApplyFilmstripChunk(AnimHeader& doc, const std::vector<uint8_t>& data) {
  if (data.size() < 4 || doc.frameCount != 1) return;
  const uint32_t n = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 | uint32_t(data[3]) << 24;
  const ImageBlock* only = FirstImage(&doc);
  if (n == 0 || n > static_cast<uint32_t>(PlaneWidth(*only))) return;
  StripLayout layout{PlaneWidth(*only), PlaneHeight(*only), static_cast<int>(n), 1, true};
  if (!SplitStrip(doc, layout)) return;
  const size_t delays = std::min<size_t>(n, (data.size() - 4) / 4);
  int k = 0;
  for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f), ++k) {
    if (static_cast<size_t>(k) < delays) {
      const uint8_t* p = &data[4 + 4 * static_cast<size_t>(k)];
      const uint32_t d = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
      f->delay = GifDelayToDocument(static_cast<int>(std::min<uint32_t>(d, 0xFFFF)), Prefs().timeBase());
    }
    SetDisposal(*f, kDisposalBackground);
  }
}

LoadResult Decode(const uint8_t* data, size_t size) {
  bool truncated = false;
  const std::vector<PngChunk> chunks = WalkPngChunks(data, size, truncated);
  const ApngLayout layout = ParseApngLayout(data, chunks);

  LoadResult result;
  result.document = CreateAnimation();
  if (!result.document) return {};
  AnimHeader& doc = *result.document;
  doc.playCount = layout.animated ? static_cast<int32_t>(std::min<uint32_t>(layout.playCount, 0x7FFFFFFF)) : 0;

  const size_t total = layout.animated ? size_t{layout.frameCount} + (layout.defaultHidden ? 1 : 0) : 1;
  bool damaged = false, tooLarge = false, overLimit = false;
  std::vector<uint8_t> pAni;
  bool hasPAni = false;
  ReadBudgetScope budget;
  BlockAppender out(doc);
  for (size_t i = 0; i < total; ++i) {
    // The first picture is always the default image (the IDAT data), animated or not.
    const bool isDefault = i == 0;
    const size_t frameIndex = layout.defaultHidden ? i - 1 : i;
    FrameHead head;
    std::vector<uint8_t> stream;
    if (layout.animated && !(isDefault && layout.defaultHidden)) {
      if (frameIndex < layout.frames.size()) {
        head.present = true;
        head.control = layout.frames[frameIndex].control;
        if (!isDefault) stream = BuildFrameStream(data, chunks, layout, frameIndex);
      } else {
        // Frames announced but missing or damaged: keep what came before. A damaged head of
        // the default image still leaves that image to show.
        damaged = true;
        if (!isDefault) break;
      }
    }
    PngPicture pic;
    const PngDecodeStatus status = isDefault ? DecodePngStream(data, size, !layout.animated, pic, &budget)
                                             : DecodePngStream(stream.data(), stream.size(), false, pic, &budget);
    if (status == PngDecodeStatus::kFailed) {
      damaged = true;
      break;
    }
    if (status == PngDecodeStatus::kUnbacked) ReadBudget::refuseUnbacked();
    if (status == PngDecodeStatus::kOverLimit || status == PngDecodeStatus::kUnbacked) {
      overLimit = true;
      break;
    }
    if (status == PngDecodeStatus::kTooLarge) {
      tooLarge = true;
      break;
    }
    if (i == 0) {
      doc.screenWidth = static_cast<int32_t>(pic.width);
      doc.screenHeight = static_cast<int32_t>(pic.height);
    }
    if (!AddPictureBlock(out, pic, head)) {
      tooLarge = true;
      break;
    }
    if (status == PngDecodeStatus::kRowsRead) damaged = true;
    if (damaged) break;
    if (pic.hasPAni) {
      hasPAni = true;
      pAni = std::move(pic.pAni);
    }
  }
  if (hasPAni && !damaged && !tooLarge && !overLimit) ApplyFilmstripChunk(doc, pAni);
  if (tooLarge) ShowMessage(msg::kNoMemoryFrameImage);
  else if (damaged) ShowMessage(fmsg::kPngDamaged);
  if (doc.frameCount == 0) return {};
  // A picture outside the animation is still the document's first frame; viewers that play
  // the animation skip it.
  doc.hideFirstFrame = layout.animated && layout.defaultHidden && doc.frameCount > 1 ? 1 : 0;
  if (layout.animated && !ReproduceSourceBlending(doc)) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return {};
  }
  ComputeColourUsage(doc, doc.colourUsage.data(), true);
  result.status = kReadComplete;
  return result;
}

}  // namespace

LoadResult ReadPngBytes(const uint8_t* data, size_t size) {
  if (size < sizeof kPngSignature) return {};
  if (std::memcmp(data, kPngSignature, sizeof kPngSignature) != 0) {
    ShowMessage(fmsg::kPngDamaged);
    return {};
  }
  try {
    return Decode(data, size);
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return {};
  }
}

LoadResult ReadPngFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  const FileBytesStatus status = ReadFileBytes(path, size_t{0x7FFFFFFF}, bytes);
  if (status == FileBytesStatus::kCannotOpen) return {};
  if (status == FileBytesStatus::kTooLarge) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return {};
  }
  return ReadPngBytes(bytes.data(), bytes.size());
}

ImagePtr ReadPngMemory(const uint8_t* data, size_t size) {
  if (size >= sizeof kPngSignature && std::memcmp(data, kPngSignature, sizeof kPngSignature) != 0) {
    ShowMessage(fmsg::kPngDamaged);
    return nullptr;
  }
  LoadResult read = ReadPngBytes(data, size);
  if (!read.document) return nullptr;
  ImageBlock* first = FirstImage(read.document.get());
  std::unique_ptr<Palette> local;
  if (read.document->globalPalette) {
    local = read.document->globalPalette->copy();
    if (!local) return nullptr;
  }
  BlockPtr block = DetachBlock(first);
  --read.document->frameCount;
  ImagePtr image(static_cast<ImageBlock*>(block.release()));
  image->activePalette = nullptr;
  if (local) SetLocalPalette(*image, std::move(local));
  return image;
}

}  // namespace fw
