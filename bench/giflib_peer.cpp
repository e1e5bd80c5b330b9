#include "giflib_peer.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>

#include "core/preferences.h"

namespace fw::bench {
namespace {

struct MemoryInput {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int n) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  const size_t take = std::min(static_cast<size_t>(n), in->size - in->pos);
  std::memcpy(out, in->data + in->pos, take);
  in->pos += take;
  return static_cast<int>(take);
}

int WriteToMemory(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

int CountWritten(GifFileType* gif, const GifByteType*, int n) {
  *static_cast<int64_t*>(gif->UserData) += n;
  return n;
}

// giflib wants tables of a power-of-two size; the padding entries are black, as ours writes.
ColorMapObject* MakeMap(const Palette& palette) {
  const int entries = 1 << PaletteBits(palette.count());
  std::vector<GifColorType> colours(static_cast<size_t>(entries), GifColorType{0, 0, 0});
  for (int i = 0; i < palette.count(); ++i) colours[static_cast<size_t>(i)] = {palette[i].r, palette[i].g, palette[i].b};
  return GifMakeMapObject(entries, colours.data());
}

// Rows in the order they appear in the stream.
template <typename F>
void ForEachStreamRow(int height, bool interlaced, F&& f) {
  if (!interlaced) {
    for (int y = 0; y < height; ++y) f(y);
    return;
  }
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) f(y);
}

bool PutSubBlocks(GifFileType* gif, int kind, const std::vector<uint8_t>& data) {
  if (EGifPutExtensionLeader(gif, kind) != GIF_OK) return false;
  size_t at = 0;
  while (at < data.size() && data[at] != 0) {
    const int length = data[at];
    if (at + 1 + static_cast<size_t>(length) > data.size()) break;
    if (EGifPutExtensionBlock(gif, length, data.data() + at + 1) != GIF_OK) return false;
    at += 1 + static_cast<size_t>(length);
  }
  return EGifPutExtensionTrailer(gif) == GIF_OK;
}

bool EncodeBlocks(GifFileType* gif, const AnimHeader& doc) {
  if (doc.playCount != 1 && doc.frameCount > 1) {
    const int loops = doc.playCount == 0 ? 0 : std::min(doc.playCount - 1, 0xFFFF);
    const uint8_t app[11] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
    const uint8_t sub[3] = {1, static_cast<uint8_t>(loops), static_cast<uint8_t>(loops >> 8)};
    if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) != GIF_OK ||
        EGifPutExtensionBlock(gif, 11, app) != GIF_OK || EGifPutExtensionBlock(gif, 3, sub) != GIF_OK ||
        EGifPutExtensionTrailer(gif) != GIF_OK)
      return false;
  }
  const int timeBase = Prefs().timeBase();
  for (const GifBlock* b = doc.blockList->next; b; b = b->next) {
    if (b->isExtension()) {
      if (!PutSubBlocks(gif, b->kind, static_cast<const ExtensionBlock*>(b)->data)) return false;
      continue;
    }
    if (!b->isImage()) continue;
    const auto& frame = *static_cast<const ImageBlock*>(b);
    const int delay = std::clamp(GifDelayFromDocument(frame.delay, timeBase), 0, 0xFFFF);
    const uint8_t control[4] = {frame.controlFlags, static_cast<uint8_t>(delay), static_cast<uint8_t>(delay >> 8),
                                frame.transparentIndex};
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) != GIF_OK) return false;

    ColorMapObject* local = frame.localPalette ? MakeMap(*frame.localPalette) : nullptr;
    const int put = EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, frame.interlaced(), local);
    if (local) GifFreeMapObject(local);
    if (put != GIF_OK) return false;

    const IndexedImage& image = *frame.indexedImage;
    bool ok = true;
    ForEachStreamRow(frame.height, frame.interlaced(), [&](int y) {
      if (ok) ok = EGifPutLine(gif, const_cast<GifPixelType*>(image.row(y)), frame.width) == GIF_OK;
    });
    if (!ok) return false;
  }
  return true;
}

bool Encode(const AnimHeader& doc, void* userData, OutputFunc write) {
  int error = 0;
  GifFileType* gif = EGifOpen(userData, write, &error);
  if (!gif) return false;
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = doc.globalPalette ? MakeMap(*doc.globalPalette) : nullptr;
  const int resolution = doc.globalPalette ? PaletteBits(doc.globalPalette->count()) : 8;
  bool ok = EGifPutScreenDesc(gif, doc.screenWidth, doc.screenHeight, resolution, doc.backgroundIndex, global) == GIF_OK;
  if (global) GifFreeMapObject(global);
  ok = ok && EncodeBlocks(gif, doc);
  return EGifCloseFile(gif, &error) == GIF_OK && ok;
}

}  // namespace

bool GiflibEncode(const AnimHeader& doc, std::vector<uint8_t>& out) {
  out.clear();
  return Encode(doc, &out, WriteToMemory);
}

int64_t GiflibEncodedSize(const AnimHeader& doc) {
  int64_t total = 0;
  return Encode(doc, &total, CountWritten) ? total : -1;
}

int GiflibDecodeSlurp(const std::vector<uint8_t>& bytes, std::vector<uint64_t>* frameHashes) {
  MemoryInput input{bytes.data(), bytes.size()};
  int error = 0;
  GifFileType* gif = DGifOpen(&input, ReadFromMemory, &error);
  if (!gif) return -1;
  if (DGifSlurp(gif) != GIF_OK) {
    DGifCloseFile(gif, &error);
    return -1;
  }
  const int frames = gif->ImageCount;
  if (frameHashes) {
    frameHashes->clear();
    for (int i = 0; i < frames; ++i) {
      const SavedImage& image = gif->SavedImages[i];
      // DGifSlurp has already put interlaced rows in their places.
      frameHashes->push_back(FrameHash(image.RasterBits, image.ImageDesc.Width, image.ImageDesc.Height,
                                       static_cast<size_t>(image.ImageDesc.Width)));
    }
  }
  DGifCloseFile(gif, &error);
  return frames;
}

int GiflibDecodeLines(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& frameBuffer,
                      std::vector<uint64_t>* frameHashes) {
  MemoryInput input{bytes.data(), bytes.size()};
  int error = 0;
  GifFileType* gif = DGifOpen(&input, ReadFromMemory, &error);
  if (!gif) return -1;
  if (frameHashes) frameHashes->clear();
  int frames = 0;
  bool ok = true;
  for (bool more = true; more && ok;) {
    GifRecordType type;
    if (DGifGetRecordType(gif, &type) != GIF_OK) {
      ok = false;
      break;
    }
    switch (type) {
      case IMAGE_DESC_RECORD_TYPE: {
        if (DGifGetImageDesc(gif) != GIF_OK) {
          ok = false;
          break;
        }
        const int width = gif->Image.Width, height = gif->Image.Height;
        const size_t size = static_cast<size_t>(width) * static_cast<size_t>(height);
        if (frameBuffer.size() < size) frameBuffer.resize(size);
        if (gif->Image.Interlace) {
          ForEachStreamRow(height, true, [&](int y) {
            if (ok) ok = DGifGetLine(gif, frameBuffer.data() + static_cast<size_t>(y) * width, width) == GIF_OK;
          });
        } else if (size > 0) {
          // One call for the whole frame: giflib's fastest path, no per-row overhead.
          ok = DGifGetLine(gif, frameBuffer.data(), static_cast<int>(size)) == GIF_OK;
        }
        if (ok && frameHashes)
          frameHashes->push_back(FrameHash(frameBuffer.data(), width, height, static_cast<size_t>(width)));
        ++frames;
        break;
      }
      case EXTENSION_RECORD_TYPE: {
        int code = 0;
        GifByteType* ext = nullptr;
        if (DGifGetExtension(gif, &code, &ext) != GIF_OK) {
          ok = false;
          break;
        }
        while (ext && ok) ok = DGifGetExtensionNext(gif, &ext) == GIF_OK;
        break;
      }
      case TERMINATE_RECORD_TYPE:
        more = false;
        break;
      default:
        break;
    }
  }
  DGifCloseFile(gif, &error);
  return ok ? frames : -1;
}

uint64_t FrameHash(const uint8_t* pixels, int width, int height, size_t stride) {
  uint64_t h = 1469598103934665603ull;
  for (int y = 0; y < height; ++y) {
    const uint8_t* row = pixels + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width; ++x) h = (h ^ row[x]) * 1099511628211ull;
  }
  return h;
}

std::vector<uint64_t> DocumentFrameHashes(const AnimHeader& doc) {
  std::vector<uint64_t> hashes;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f))
    hashes.push_back(FrameHash(f->indexedImage->pixels.data(), f->width, f->height, f->indexedImage->stride()));
  return hashes;
}

}  // namespace fw::bench
