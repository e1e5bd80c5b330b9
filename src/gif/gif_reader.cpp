#include "gif/gif_reader.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "gif/kept_lzw.h"
#include "gif/lzw_decoder.h"

namespace fw {
namespace {

// Palettes cut short by the end of the file keep the entries read; the rest are black.
std::unique_ptr<Palette> ReadColourTable(ByteSource& source, int entries, bool* complete) {
  uint8_t rgb[3 * 256] = {};
  const size_t want = 3 * static_cast<size_t>(entries);
  *complete = source.read(rgb, want) == want;
  return Palette::FromTriplets(rgb, entries);
}

// The image's compressed data, gathered from its sub-blocks, with the zero padding the
// decoder's word loads need.
struct ImageData {
  std::vector<uint8_t> bytes;
  size_t size = 0;
  bool terminated = false;
};

void GatherSubBlocks(ByteSource& source, ImageData& out) {
  out.size = 0;
  out.terminated = false;
  for (;;) {
    const int length = source.readByte();
    if (length < 0) return;
    if (length == 0) {
      out.terminated = true;
      break;
    }
    // Straight into place: the data of a large frame is copied once, not twice.
    if (out.bytes.size() < out.size + length + 8) out.bytes.resize((out.size + length + 8) * 2);
    // A sub-block cut short by the end of the file is unreadable as a whole; what came of it
    // lies beyond `size` and is ignored.
    if (!source.readExact(out.bytes.data() + out.size, static_cast<size_t>(length))) return;
    out.size += static_cast<size_t>(length);
  }
}

thread_local ImageData t_imageData;

// A width or height of 0 is stored as 1.
uint64_t StoredPixels(const ImageBlock& image) {
  const uint64_t width = static_cast<uint64_t>(std::max(image.width, 1));
  const uint64_t height = static_cast<uint64_t>(std::max(image.height, 1));
  return width * height;
}

}  // namespace

bool IsGifSignature(const uint8_t* s) {
  return s[0] == 'G' && s[1] == 'I' && s[2] == 'F' && s[3] == '8' && (s[4] == '7' || s[4] == '9') &&
         s[5] == 'a';
}

bool SkipSubBlocks(ByteSource& source) {
  uint8_t skipped[255];
  for (;;) {
    const int length = source.readByte();
    if (length < 0) return false;
    if (length == 0) return true;
    if (!source.readExact(skipped, static_cast<size_t>(length))) return false;
  }
}

ExtensionResult ReadExtension(ByteSource& source, uint8_t label, AnimHeader& document) {
  ExtensionResult result;
  int length = source.readByte();
  if (length < 0) return result;
  if (length == 0) {
    result.ok = true;
    return result;
  }
  uint8_t first[255];
  if (!source.readExact(first, static_cast<size_t>(length))) return result;

  std::vector<uint8_t> data;
  data.push_back(static_cast<uint8_t>(length));
  data.insert(data.end(), first, first + length);

  bool terminated = false;
  const bool loopBlock = label == block_kind::kApplication && length == 11 &&
                         (std::memcmp(first, "NETSCAPE2.0", 11) == 0 || std::memcmp(first, "ANIMEXTS1.0", 11) == 0);
  if (loopBlock) {
    const int subLength = source.readByte();
    if (subLength < 0) return result;
    uint8_t sub[255];
    if (subLength > 0 && !source.readExact(sub, static_cast<size_t>(subLength))) return result;
    if (subLength == 3) {
      // Sub-blocks after the loop count (the buffering hint some encoders add) mean nothing
      // to playback; browsers skip them, and so do we.
      if (!SkipSubBlocks(source)) return result;
      const int loops = sub[1] | sub[2] << 8;
      document.playCount = loops > 0 ? loops + 1 : 0;
      result.ok = true;
      return result;
    }
    data.push_back(static_cast<uint8_t>(subLength));
    data.insert(data.end(), sub, sub + subLength);
    terminated = subLength == 0;
  }

  while (!terminated) {
    length = source.readByte();
    if (length < 0) return result;
    data.push_back(static_cast<uint8_t>(length));
    if (length == 0) break;
    const size_t at = data.size();
    data.resize(at + static_cast<size_t>(length));
    if (!source.readExact(data.data() + at, static_cast<size_t>(length))) return result;
  }
  auto block = CreateExtensionBlock(label);
  if (!block) return result;
  block->data = std::move(data);
  result.ok = true;
  result.block = std::move(block);
  return result;
}

// A frame of width or height 0 shows nothing: its one stored pixel is made transparent.
void ClearEmptyFrame(ImageBlock& image) {
  if (image.width > 0 && image.height > 0) return;
  if (!image.transparent()) {
    SetTransparentIndex(image, 0);
    SetTransparency(image, true);
  }
  image.indexedImage->row(0)[0] = static_cast<uint8_t>(image.transparentIndex);
}

int ReadGifImage(ByteSource& source, ImageBlock& image, AnimHeader& document, FramePixelBudget& budget,
                 bool* damaged, GifReadOptions options) {
  uint8_t d[9];
  if (!source.readExact(d, 9)) {
    ShowMessage(msg::kGifDamaged);
    return 0;
  }
  image.left = d[0] | d[1] << 8;
  image.top = d[2] | d[3] << 8;
  image.width = d[4] | d[5] << 8;
  image.height = d[6] | d[7] << 8;
  image.descriptorFlags = d[8];

  if (d[8] & 0x80) {
    bool complete = false;
    auto palette = ReadColourTable(source, 2 << (d[8] & 7), &complete);
    if (!palette) {
      ShowMessage(msg::kCannotCreateLocalPalette);
      return 0;
    }
    image.activePalette = palette.get();
    image.localPalette = std::move(palette);
  } else {
    image.activePalette = document.globalPalette.get();
  }

  // The data comes before the plane: how much of the frame it can fill decides whether the
  // plane is worth allocating.
  const int minCodeSize = source.readByte();
  ImageData& data = t_imageData;
  GatherSubBlocks(source, data);
  if (!budget.admit(StoredPixels(image), data.size)) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return 0;
  }
  if (!budget.admitFrame(StoredPixels(image))) return 0;
  // The decoder sets every byte of the plane, so it is not cleared first.
  auto pixels = AllocIndexedImageForOverwrite(image.width, image.height, image.activePalette);
  if (!pixels) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return 0;
  }
  if (minCodeSize < 0 || minCodeSize > 8) {
    ShowMessage(msg::kGifDamaged);
    return 0;
  }
  if (data.bytes.size() < data.size + 8) data.bytes.resize(data.size + 8);
  std::memset(data.bytes.data() + data.size, 0, 8);

  const LzwResult r = ThreadLzwDecoder().decode(data.bytes.data(), data.size, data.terminated, minCodeSize,
                                             *pixels, image.width, image.height, image.interlaced());
  // Data that breaks off inside its own sub-blocks (an impossible code, or too few codes)
  // keeps the pixels decoded so far, the rest blank, as browsers show it; the blocks after it
  // are intact and reading goes on. Data cut off by the end of the file loses the frame.
  if (r == LzwResult::kRanOut || r == LzwResult::kCorrupt) {
    ShowMessage(msg::kGifDamaged);
    const bool brokenOff = r == LzwResult::kCorrupt || data.terminated;
    if (!brokenOff || !damaged) return 0;
    *damaged = true;
  }
  SetIndexedImage(image, std::move(pixels));
  ClearEmptyFrame(image);
  const bool decodesAgain = r == LzwResult::kComplete || r == LzwResult::kEndedEarly;
  if (options.keepDataAsRead && decodesAgain && image.width > 0 && image.height > 0)
    KeepReadLzwData(image, minCodeSize, data.bytes.data(), data.size);
  return 1;
}

int ReadGifBlocks(ByteSource& source, AnimHeader& document, Progress* progress, GifReadOptions options) {
  StartProgress(progress, source.size());
  GifBlock* tail = document.blockList;
  ImagePtr pending;
  FramePixelBudget budget;
  int status = 0;
  // Damage read past: the stream goes on, but the document is not what the file meant.
  bool damaged = false;

  auto append = [&](GifBlock* block) {
    Link(tail, block);
    tail = block;
    SetProgressPosition(progress, source.position());
  };

  while (ProgressContinues()) {
    const int byte = source.readByte();
    if (byte < 0) {
      ShowMessage(msg::kGifDamaged);
      status = 2;
      break;
    }
    if (byte == 0x00) continue;
    if (byte == '!') {
      const int label = source.readByte();
      if (label == block_kind::kPlainText || label == block_kind::kComment || label == block_kind::kApplication) {
        ExtensionResult ext = ReadExtension(source, static_cast<uint8_t>(label), document);
        if (!ext.ok) {
          ShowMessage(msg::kGifDamaged);
          status = 2;
          break;
        }
        if (ext.block) append(ext.block.release());
        continue;
      }
      if (label == 0xF9) {
        uint8_t control[6];
        if (!source.readExact(control, 6)) {
          ShowMessage(msg::kGifDamaged);
          status = 2;
          break;
        }
        pending = CreateImageBlock(control + 1);
        if (!pending) {
          status = 2;
          break;
        }
        continue;
      }
      // An extension we do not know is skipped as browsers skip it; it is still reported.
      ShowMessage(msg::kGifDamaged);
      if (label < 0 || !SkipSubBlocks(source)) {
        status = 2;
        break;
      }
      damaged = true;
      continue;
    }
    if (byte == ',') {
      ImagePtr image = pending ? std::move(pending) : CreateImageBlock(nullptr);
      if (!image || !ReadGifImage(source, *image, document, budget, &damaged, options)) {
        if (document.frameCount > 0) {
          ShowMessage(msg::kPartlyRead);
          return kReadPartial;
        }
        ShowMessage(msg::kCouldNotRead);
        return kReadFailed;
      }
      ++document.frameCount;
      append(image.release());
      continue;
    }
    if (byte == ';') {
      status = 1;
      break;
    }
    ShowMessage(msg::kGifDamaged);
    status = 2;
    break;
  }

  if (status == 2 || (status == 1 && damaged)) {
    if (document.frameCount > 0) {
      ShowMessage(msg::kPartlyRead);
      return kReadPartial;
    }
    ShowMessage(msg::kCouldNotRead);
    return kReadFailed;
  }
  return ProgressContinues() ? kReadComplete : kReadPartial;
}

ReadResult ReadGifFile(ByteSource& source, Progress* progress, GifReadOptions options) {
  ReadResult result;
  if (progress) {
    progress->flags &= ~progress_flag::kNoPumping;
    SetProgressText(progress, MessageText(msg::kReadingGif));
  }
  AnimPtr doc = CreateAnimation();
  if (!doc) return result;

  uint8_t screen[7];
  if (!source.readExact(screen, 7)) return result;
  doc->screenWidth = screen[0] | screen[1] << 8;
  doc->screenHeight = screen[2] | screen[3] << 8;
  doc->playCount = 1;
  doc->frameCount = 0;
  doc->hideFirstFrame = 0;
  doc->screenFlags = screen[4];
  doc->aspectByte = screen[6];

  if (screen[4] & 0x80) {
    const int size = 2 << (screen[4] & 7);
    const int resolution = (screen[4] >> 4) & 7;
    const int needed = PaletteBits(size) - 1;
    if (resolution < needed) doc->screenFlags = static_cast<uint8_t>((screen[4] & 0x8F) | needed << 4);
    doc->backgroundIndex = screen[5] > size ? 0 : screen[5];
    bool complete = false;
    auto palette = ReadColourTable(source, size, &complete);
    if (!palette) return result;
    doc->globalPalette = std::move(palette);
  } else {
    doc->backgroundIndex = 0;
  }

  int status;
  try {
    DistinctMessages once;
    status = ReadGifBlocks(source, *doc, progress, options);
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryFrameImage);
    status = doc->frameCount > 0 ? kReadPartial : kReadFailed;
  }
  if (status == kReadFailed) return result;

  bool clearedInterlace = false;
  if (!Prefs().bit(pref::kOptionFlags, pref::kInterlaceAllowed)) {
    for (ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) {
      if (f->interlaced()) {
        SetInterlaced(*f, false);
        clearedInterlace = true;
      }
    }
  }
  if (status == kReadComplete) {
    if (!clearedInterlace) doc->encodedSize = static_cast<int32_t>(source.size());
    const Extent e = ImageExtent(*doc);
    doc->screenWidth = std::max(doc->screenWidth, e.right);
    doc->screenHeight = std::max(doc->screenHeight, e.bottom);
  }
  result.status = status;
  result.document = std::move(doc);
  return result;
}

ReadResult ReadGifPath(const std::string& path, Progress* progress) {
  auto source = FileByteSource::Open(path);
  if (!source) return {};
  uint8_t signature[6];
  if (!source->readExact(signature, 6) || !IsGifSignature(signature)) return {};
  return ReadGifFile(*source, progress);
}

ReadResult ReadGifMemory(const uint8_t* data, size_t size, GifReadOptions options) {
  if (size < 6 || !IsGifSignature(data)) return {};
  MemoryByteSource source(data, size);
  uint8_t signature[6];
  source.readExact(signature, 6);
  return ReadGifFile(source, nullptr, options);
}

}  // namespace fw
