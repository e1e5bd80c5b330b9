#include <algorithm>
#include <cstdio>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/write_failure.h"
#include "formats/format_messages.h"
#include "formats/png_file.h"
#include "formats/png_frame.h"

namespace fw {
namespace {

void PutLe32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

bool Describe(const ImageBlock& frame, const AnimHeader* animation, PngPictureOut& out) {
  if (!DescribePngFrame(frame, 0, out)) return false;
  if (animation) out.pAni = FilmstripChunkData(*animation);
  return true;
}

}  // namespace

int PngDepthClass(const ImageBlock& frame) {
  if (!TrueColourRows(frame)) return 8;
  return AlphaRows(frame) ? 32 : 24;
}

int MaxIndexUsed(const ImageBlock& frame) {
  if (!frame.indexedImage) return -1;
  const IndexedImage& image = *frame.indexedImage;
  return HighestIndex(image, image.width, image.height);
}

bool DescribePngFrame(const ImageBlock& frame, int minEntries, PngPictureOut& out) {
  out.width = PlaneWidth(frame);
  out.height = PlaneHeight(frame);
  const int depth = PngDepthClass(frame);
  if (depth != 8) {
    out.colourType = depth == 32 ? 6 : 2;
    out.pixels = TrueColourRows(frame);
    out.stride = Stride24(out.width);
    out.alpha = AlphaRows(frame);
    out.alphaStride = Stride8(out.width);
    return true;
  }
  if (!frame.indexedImage) return false;
  out.colourType = 3;
  out.pixels = frame.indexedImage->pixels.data();
  out.stride = frame.indexedImage->stride();
  // A PLTE shorter than the indexes in use makes a file decoders reject, so it is padded.
  int entries = frame.activePalette ? frame.activePalette->count() : 1;
  entries = std::max({entries, minEntries, MaxIndexUsed(frame) + 1});
  if (frame.transparent()) entries = std::max(entries, frame.transparentIndex + 1);
  entries = std::min(entries, 256);
  uint32_t table[256];
  PaletteEntries(frame, table);
  out.palette.resize(static_cast<size_t>(entries));
  for (int i = 0; i < entries; ++i) out.palette[static_cast<size_t>(i)] = EntryColour(table[i]);
  out.trnsAlpha.clear();
  if (frame.transparent()) {
    out.trnsAlpha.assign(static_cast<size_t>(entries), 255);
    out.trnsAlpha[frame.transparentIndex] = 0;
  }
  return true;
}

std::vector<uint8_t> FilmstripChunkData(const AnimHeader& animation) {
  std::vector<uint8_t> data;
  PutLe32(data, static_cast<uint32_t>(animation.frameCount));
  for (const ImageBlock* f = FirstImage(&animation); f; f = NextImage(f))
    PutLe32(data, static_cast<uint32_t>(std::max(0, GifDelayFromDocument(f->delay, Prefs().timeBase()))));
  return data;
}

int WritePng(const std::string& path, const ImageBlock& frame, const AnimHeader* animation) {
  PngPictureOut picture;
  try {
    if (!Describe(frame, animation, picture)) return 0;
  } catch (const std::bad_alloc&) {
    ShowMessage(fmsg::kPngEncodeError);
    return 0;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    ShowMessage(fmsg::kCannotSaveTemp, path.c_str());
    return 0;
  }
  PngOutput output;
  output.file = file;
  const bool encoded = EncodePngStream(picture, output);
  bool closed = std::fclose(file) == 0;
  if (!closed && encoded) NoteWriteErrno();
  // A file that refused bytes is the system's doing, reported by the save step with the
  // target's name; only a failure of the encoder itself is ours to report here.
  if (!encoded && !output.fileFailed) ShowMessage(fmsg::kPngEncodeError);
  return encoded && closed ? 1 : 0;
}

int WritePngMemory(uint8_t* begin, uint8_t* end, const ImageBlock& frame, const AnimHeader* animation,
                   size_t* written) {
  PngPictureOut picture;
  try {
    if (!Describe(frame, animation, picture)) return 0;
  } catch (const std::bad_alloc&) {
    ShowMessage(fmsg::kPngEncodeError);
    return 0;
  }
  PngOutput output;
  output.begin = begin;
  output.end = end;
  if (!begin || end < begin || !EncodePngStream(picture, output)) {
    ShowMessage(fmsg::kPngEncodeError);
    return 0;
  }
  if (written) *written = output.written;
  return 1;
}

size_t PngEncodedSize(const ImageBlock& frame, const AnimHeader* animation) {
  PngPictureOut picture;
  try {
    if (!Describe(frame, animation, picture)) return 0;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  PngOutput counter;
  return EncodePngStream(picture, counter) ? counter.written : 0;
}

}  // namespace fw
