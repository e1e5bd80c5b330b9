// One icon or cursor image (a DIB with its AND mask, or a PNG stream) into a frame.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "formats/apng_chunks.h"
#include "formats/dib.h"
#include "formats/format_messages.h"
#include "formats/icon_file.h"
#include "formats/png_file.h"
#include "imaging/palette_merge.h"

namespace fw {
namespace {

// Icons get a palette of their own per image, 256 colours.
constexpr uint32_t kIconMergeWord = 0x880010;

// Rows of a bottom-up (or, with a negative height, top-down) DIB plane. Rows the data does not
// hold read as zeros, so a short entry never reads past its end.
class PlaneRows {
 public:
  PlaneRows(const uint8_t* data, size_t size, uint64_t start, size_t stride, int height, bool bottomUp)
      : data_(data), size_(size), start_(start), stride_(stride), height_(height), bottomUp_(bottomUp),
        zeros_(stride, 0) {}

  // The bytes of row y (top-down numbering); `have` receives how many are real.
  const uint8_t* row(int y) {
    const uint64_t stored = static_cast<uint64_t>(bottomUp_ ? height_ - 1 - y : y);
    const uint64_t at = start_ + stored * stride_;
    if (at + stride_ <= size_) return data_ + at;
    std::fill(zeros_.begin(), zeros_.end(), 0);
    if (at < size_) std::memcpy(zeros_.data(), data_ + at, static_cast<size_t>(size_ - at));
    return zeros_.data();
  }

 private:
  const uint8_t* data_;
  uint64_t size_, start_;
  size_t stride_;
  int height_;
  bool bottomUp_;
  std::vector<uint8_t> zeros_;
};

bool MaskBit(const uint8_t* maskRow, int x) { return (maskRow[x >> 3] >> (7 - (x & 7))) & 1; }

ImagePtr DetachOnlyFrame(AnimHeader& doc) {
  ImageBlock* first = FirstImage(&doc);
  if (!first) return nullptr;
  BlockPtr block = DetachBlock(first);
  --doc.frameCount;
  return ImagePtr(static_cast<ImageBlock*>(block.release()));
}

// Gives a true-colour-only frame an 8-bit version with a palette of its own, the way icon
// images are reduced; the frame's planes stay or go as the keep-true-colour preference says.
ImagePtr ReduceToOwnPalette(ImagePtr frame) {
  AnimPtr temp = CreateAnimation();
  if (!temp) return nullptr;
  temp->screenWidth = frame->width;
  temp->screenHeight = frame->height;
  AppendBlock(*temp, std::move(frame));
  if (ConvertPalettes(nullptr, temp.get(), kIconMergeWord, nullptr) != kConvertDone) return nullptr;
  return DetachOnlyFrame(*temp);
}

// The index every masked pixel holds when no unmasked pixel holds it; -1 when there is none.
int IndexOnlyUnderMask(const IndexedImage& image, PlaneRows& mask, int width, int height) {
  int candidate = -1;
  std::array<bool, 256> unmaskedUse{};
  for (int y = 0; y < height; ++y) {
    const uint8_t* m = mask.row(y);
    for (int x = 0; x < width; ++x) {
      const int v = image.row(y)[x];
      if (!MaskBit(m, x))
        unmaskedUse[static_cast<size_t>(v)] = true;
      else if (candidate < 0)
        candidate = v;
      else if (candidate != v)
        return -1;
    }
  }
  return candidate >= 0 && !unmaskedUse[static_cast<size_t>(candidate)] ? candidate : -1;
}

// Chooses the transparent index for an indexed icon image and applies the AND mask. An index
// that exactly the masked pixels hold is the one the file's writer meant (our writer keeps the
// transparent index there), and taking it makes load and save reproduce the same file; a
// fresh index would move the transparency on every round. Otherwise the index is the first
// one no pixel uses, and a full palette of fewer than 256 entries grows by a black one.
void ApplyIndexedMask(ImageBlock& frame, IndexedImage& image, PlaneRows& mask, int width, int height) {
  int index = IndexOnlyUnderMask(image, mask, width, height);
  const int entries = frame.localPalette->count();
  // Pixels may name indexes beyond a short colour table; such an index is no palette entry.
  if (index >= entries) index = -1;
  if (index < 0) {
    std::array<bool, 256> used{};
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) used[image.row(y)[x]] = true;
    for (int i = 0; i < entries && index < 0; ++i)
      if (!used[static_cast<size_t>(i)]) index = i;
  }
  if (index < 0 && entries < 256) {
    std::vector<Rgb> colours(frame.localPalette->data(), frame.localPalette->data() + entries);
    colours.push_back(Rgb{});
    auto grown = Palette::Create(colours.data(), entries + 1);
    if (!grown) return;
    SetLocalPalette(frame, std::move(grown));
    SetColourTable(image, frame.localPalette.get());
    index = entries;
  }
  // With all 256 indexes in use and none held only under the mask, the mask cannot be kept.
  if (index < 0) return;
  for (int y = 0; y < height; ++y) {
    const uint8_t* m = mask.row(y);
    uint8_t* row = image.row(y);
    for (int x = 0; x < width; ++x)
      if (MaskBit(m, x)) row[x] = static_cast<uint8_t>(index);
  }
  SetTransparentIndex(frame, index);
  SetTransparency(frame, true);
}

ImagePtr IndexedIcon(const uint8_t* dib, size_t size, const DibHeader& h, int height, bool withMask) {
  const int bits = h.bitCount;
  const int width = h.width;
  const uint64_t announced = DibTableEntries(h);
  const size_t entries = static_cast<size_t>(std::min<uint64_t>({announced, 256, (size - kDibHeaderBytes) / 4}));
  if (entries == 0) {
    ShowMessage(fmsg::kImageTypeUnsupported);
    return nullptr;
  }
  std::vector<Rgb> colours(entries);
  for (size_t i = 0; i < entries; ++i) {
    const uint8_t* e = dib + kDibHeaderBytes + 4 * i;
    colours[i] = {e[2], e[1], e[0]};
  }
  auto palette = Palette::Create(colours.data(), static_cast<int>(entries));
  ImagePtr frame = CreateSizedImage(width, height);
  if (!palette || !frame) return nullptr;
  SetLocalPalette(*frame, std::move(palette));
  auto image = AllocIndexedImage(width, height, frame->localPalette.get());
  if (!image) {
    ShowMessage(fmsg::kBmpNoMemory);
    return nullptr;
  }
  const bool bottomUp = h.height > 0;
  const uint64_t start = kDibHeaderBytes + 4 * announced;
  const size_t stride = DibStride(width, bits);
  PlaneRows rows(dib, size, start, stride, height, bottomUp);
  const int perByte = 8 / bits;
  const int valueMask = (1 << bits) - 1;
  for (int y = 0; y < height; ++y) {
    const uint8_t* src = rows.row(y);
    uint8_t* dst = image->row(y);
    for (int x = 0; x < width; ++x) {
      const int shift = 8 - bits * (x % perByte + 1);
      dst[x] = static_cast<uint8_t>((src[x / perByte] >> shift) & valueMask);
    }
  }
  SetDisposal(*frame, kDisposalBackground);
  IndexedImage& pixels = *image;
  SetIndexedImage(*frame, std::move(image));
  if (withMask) {
    PlaneRows mask(dib, size, start + stride * static_cast<uint64_t>(height), DibStride(width, 1), height, bottomUp);
    ApplyIndexedMask(*frame, pixels, mask, width, height);
  }
  return frame;
}

ImagePtr TrueColourIcon(const uint8_t* dib, size_t size, const DibHeader& h, int height, bool withMask) {
  // The DIB reader sees the picture's own height, not the doubled one.
  std::vector<uint8_t> copy(dib, dib + size);
  PutLe32(copy.data() + 8, static_cast<uint32_t>(h.height < 0 ? -height : height));
  AnimPtr doc = DibToDocument(copy.data(), copy.size(), 0);
  if (!doc) return nullptr;
  ImagePtr frame = DetachOnlyFrame(*doc);
  if (!frame) return nullptr;

  const bool bottomUp = h.height > 0;
  const uint64_t start = kDibHeaderBytes + (h.compression == 3 ? 12 : 0) + 4 * uint64_t{DibTableEntries(h)} +
                         DibStride(h.width, h.bitCount) * static_cast<uint64_t>(height);
  // 32-bit images carry their own alpha; those whose fourth bytes are all 0 have none, and
  // then the mask is all the transparency there is.
  if (withMask && (h.bitCount != 32 || !AlphaRows(*frame))) {
    uint8_t* alpha = AddAlpha(*frame, true);
    if (!alpha) return nullptr;
    PlaneRows mask(dib, size, start, DibStride(h.width, 1), height, bottomUp);
    const size_t alphaStride = Stride8(h.width);
    for (int y = 0; y < height; ++y) {
      const uint8_t* m = mask.row(y);
      for (int x = 0; x < h.width; ++x) alpha[static_cast<size_t>(y) * alphaStride + static_cast<size_t>(x)] = MaskBit(m, x) ? 0 : 255;
    }
    if (AlphaIsOpaque(*frame)) RemoveAlpha(*frame);
  }
  frame = ReduceToOwnPalette(std::move(frame));
  if (frame) SetDisposal(*frame, kDisposalBackground);
  return frame;
}

}  // namespace

ImagePtr IconImageToFrame(const uint8_t* dib, size_t size, int height) {
  try {
    if (size < kDibHeaderBytes || Le32(dib) != kDibHeaderBytes) {
      ShowMessage(fmsg::kImageTypeUnsupported);
      return nullptr;
    }
    const DibHeader h = ParseDibHeader(dib);
    const int64_t stored = h.height < 0 ? -int64_t{h.height} : int64_t{h.height};
    const int bits = h.bitCount;
    if (height <= 0 || h.width <= 0 || stored < height) {
      ShowMessage(fmsg::kImageTypeUnsupported);
      return nullptr;
    }
    const bool withMask = stored == 2 * int64_t{height};
    // The mask may be cut short (some writers do), but the pixels must be there: a size in a
    // few bytes of header must not make us allocate a picture nothing fills.
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
      ShowMessage(fmsg::kImageTypeUnsupported);
      return nullptr;
    }
    const uint64_t pixelsStart = kDibHeaderBytes + (h.compression == 3 ? 12 : 0) + 4 * uint64_t{DibTableEntries(h)};
    const uint64_t stride = DibStride(h.width, bits);
    if (pixelsStart > size || static_cast<uint64_t>(height) > (size - pixelsStart) / stride) {
      ShowText("%s", icon_text::kShortData);
      return nullptr;
    }
    if (bits == 1 || bits == 4 || bits == 8) {
      if (h.compression != 0) {
        ShowMessage(fmsg::kImageTypeUnsupported);
        return nullptr;
      }
      if (!PlaneSizeAllowed(std::max(Stride8(h.width), DibStride(h.width, bits)), static_cast<size_t>(height))) {
        ShowMessage(fmsg::kBmpNoMemory);
        return nullptr;
      }
      return IndexedIcon(dib, size, h, height, withMask);
    }
    return TrueColourIcon(dib, size, h, height, withMask);
  } catch (const std::bad_alloc&) {
    ShowMessage(fmsg::kBmpNoMemory);
    return nullptr;
  }
}

ImagePtr IconEntryToFrame(const uint8_t* data, size_t size, int colourCount, int bitCount) {
  if (size >= 4 && Le32(data) == kDibHeaderBytes) {
    if (size < kDibHeaderBytes) {
      ShowText("%s", icon_text::kUnexpected);
      return nullptr;
    }
    const int32_t stored = static_cast<int32_t>(Le32(data + 8));
    const int64_t magnitude = stored < 0 ? -int64_t{stored} : int64_t{stored};
    return IconImageToFrame(data, size, static_cast<int>(magnitude / 2));
  }
  if (size >= sizeof kPngSignature && std::memcmp(data, kPngSignature, sizeof kPngSignature) == 0) {
    ImagePtr frame = ReadPngMemory(data, size);
    if (!frame) return nullptr;
    if ((colourCount != 0 || bitCount < 16) && frame->hasTrueColour()) {
      if (frame->indexedImage) {
        RemoveTrueColour(*frame);
      } else {
        frame = ReduceToOwnPalette(std::move(frame));
        if (frame) RemoveTrueColour(*frame);
      }
    }
    if (frame) SetDisposal(*frame, kDisposalBackground);
    return frame;
  }
  ShowText("%s", icon_text::kUnexpected);
  return nullptr;
}

}  // namespace fw
