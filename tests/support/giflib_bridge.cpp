#include "support/giflib_bridge.h"

#include <gif_lib.h>

#include <cstring>

namespace fw::test {
namespace {

struct MemoryInput {
  const std::vector<uint8_t>* bytes;
  size_t pos = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* out, int n) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  const size_t take = std::min(static_cast<size_t>(n), in->bytes->size() - in->pos);
  std::memcpy(out, in->bytes->data() + in->pos, take);
  in->pos += take;
  return static_cast<int>(take);
}

int WriteToMemory(GifFileType* gif, const GifByteType* data, int n) {
  auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
  out->insert(out->end(), data, data + n);
  return n;
}

ColorMapObject* RampMap(int bits) {
  const int n = 1 << bits;
  ColorMapObject* map = GifMakeMapObject(n, nullptr);
  for (int i = 0; i < n; ++i) map->Colors[i] = {static_cast<GifByteType>(i * 255 / (n - 1 ? n - 1 : 1)),
                                                static_cast<GifByteType>(i), static_cast<GifByteType>(255 - i)};
  return map;
}

// giflib's whole-file read from memory; nullptr with the reason in `error` on failure.
GifFileType* Slurp(MemoryInput& input, std::string& error) {
  int code = 0;
  GifFileType* gif = DGifOpen(&input, ReadFromMemory, &code);
  if (!gif) {
    error = GifErrorString(code) ? GifErrorString(code) : "open failed";
    return nullptr;
  }
  if (DGifSlurp(gif) != GIF_OK) {
    error = GifErrorString(gif->Error) ? GifErrorString(gif->Error) : "slurp failed";
    DGifCloseFile(gif, &code);
    return nullptr;
  }
  return gif;
}

}  // namespace

PeerGif GiflibDecode(const std::vector<uint8_t>& bytes) {
  PeerGif result;
  MemoryInput input{&bytes};
  int error = 0;
  GifFileType* gif = Slurp(input, result.error);
  if (!gif) return result;
  result.ok = true;
  result.screenWidth = gif->SWidth;
  result.screenHeight = gif->SHeight;
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    PeerFrame frame;
    frame.left = image.ImageDesc.Left;
    frame.top = image.ImageDesc.Top;
    frame.width = image.ImageDesc.Width;
    frame.height = image.ImageDesc.Height;
    frame.interlaced = image.ImageDesc.Interlace;
    frame.colours = image.ImageDesc.ColorMap ? image.ImageDesc.ColorMap->ColorCount : 0;
    const size_t n = static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height);
    frame.pixels.assign(image.RasterBits, image.RasterBits + n);
    result.frames.push_back(std::move(frame));
  }
  DGifCloseFile(gif, &error);
  return result;
}

std::vector<uint8_t> GiflibEncode(int screenWidth, int screenHeight, int bitsPerPixel,
                                  const std::vector<PeerEncodeFrame>& frames) {
  std::vector<uint8_t> out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToMemory, &error);
  if (!gif) return {};
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = RampMap(bitsPerPixel);
  EGifPutScreenDesc(gif, screenWidth, screenHeight, bitsPerPixel, 0, global);
  for (const PeerEncodeFrame& f : frames) {
    ColorMapObject* local = f.localBits ? RampMap(f.localBits) : nullptr;
    EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, local);
    std::vector<int> order;
    if (f.interlaced) {
      static const int start[4] = {0, 4, 2, 1}, step[4] = {8, 8, 4, 2};
      for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < f.height; y += step[p]) order.push_back(y);
    } else {
      for (int y = 0; y < f.height; ++y) order.push_back(y);
    }
    for (int y : order)
      EGifPutLine(gif, const_cast<GifPixelType*>(f.pixels.data() + static_cast<size_t>(y) * f.width), f.width);
    if (local) GifFreeMapObject(local);
  }
  GifFreeMapObject(global);
  EGifCloseFile(gif, &error);
  return out;
}

}  // namespace fw::test

namespace fw::test {
namespace {

std::vector<uint8_t> MapTriplets(const ColorMapObject* map) {
  std::vector<uint8_t> out;
  if (!map) return out;
  for (int i = 0; i < map->ColorCount; ++i) {
    out.push_back(map->Colors[i].Red);
    out.push_back(map->Colors[i].Green);
    out.push_back(map->Colors[i].Blue);
  }
  return out;
}

void CollectExtensions(const ExtensionBlock* blocks, int count, PeerGifDetail& out) {
  for (int i = 0; i < count; ++i) {
    const ExtensionBlock& e = blocks[i];
    if (e.Function == COMMENT_EXT_FUNC_CODE) {
      out.comments.emplace_back(reinterpret_cast<const char*>(e.Bytes), static_cast<size_t>(e.ByteCount));
    } else if (e.Function == APPLICATION_EXT_FUNC_CODE && e.ByteCount == 11 &&
               std::memcmp(e.Bytes, "NETSCAPE2.0", 11) == 0 && i + 1 < count &&
               blocks[i + 1].Function == CONTINUE_EXT_FUNC_CODE && blocks[i + 1].ByteCount == 3) {
      out.loopCount = blocks[i + 1].Bytes[1] | blocks[i + 1].Bytes[2] << 8;
    }
  }
}

}  // namespace

PeerGifDetail GiflibDecodeDetail(const std::vector<uint8_t>& bytes) {
  PeerGifDetail result;
  MemoryInput input{&bytes};
  int error = 0;
  GifFileType* gif = Slurp(input, result.error);
  if (!gif) return result;
  result.ok = true;
  result.colorResolution = gif->SColorResolution;
  result.backgroundIndex = gif->SBackGroundColor;
  result.globalMap = MapTriplets(gif->SColorMap);
  for (int i = 0; i < gif->ImageCount; ++i) {
    const SavedImage& image = gif->SavedImages[i];
    CollectExtensions(image.ExtensionBlocks, image.ExtensionBlockCount, result);
    PeerFrameDetail frame;
    frame.localMap = MapTriplets(image.ImageDesc.ColorMap);
    GraphicsControlBlock gcb;
    if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
      bool hasGcb = false;
      for (int k = 0; k < image.ExtensionBlockCount; ++k)
        hasGcb = hasGcb || image.ExtensionBlocks[k].Function == GRAPHICS_EXT_FUNC_CODE;
      if (hasGcb) {
        frame.delay = gcb.DelayTime;
        frame.disposal = gcb.DisposalMode;
        frame.transparentIndex = gcb.TransparentColor;
      }
    }
    result.frames.push_back(std::move(frame));
  }
  CollectExtensions(gif->ExtensionBlocks, gif->ExtensionBlockCount, result);
  DGifCloseFile(gif, &error);
  return result;
}

std::vector<uint8_t> GiflibRampTriplets(int bits) {
  ColorMapObject* map = RampMap(bits);
  std::vector<uint8_t> out = MapTriplets(map);
  GifFreeMapObject(map);
  return out;
}

}  // namespace fw::test
