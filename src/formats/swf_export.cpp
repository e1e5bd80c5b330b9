// An animation as a Flash movie: the time unit, each image as a bitmap of its kind, how it
// leaves the stage.
#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "core/file_replace.h"
#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "formats/avi_timing.h"
#include "formats/file_bytes.h"
#include "formats/jpeg_file.h"
#include "formats/png_frame.h"
#include "formats/swf_file.h"
#include "formats/swf_movie.h"

namespace fw {
namespace {

// The header's frame count and the bitmaps' sizes are 16-bit fields.
constexpr int kSwfMostFrames = 0xFFFF;
constexpr int kSwfLargestBitmap = 0xFFFF;

int RemovalKind(int disposal, int previous) {
  switch (disposal) {
    case kDisposalBackground:
      return 2;
    case kDisposalPrevious:
      return 1;
    case kDisposalNone:
    case kDisposalLeave:
      return 0;
    default:
      return previous;
  }
}

std::vector<uint8_t> JpegBytes(const ImageBlock& image) {
  std::error_code ignored;
  const std::string folder = std::filesystem::temp_directory_path(ignored).string();
  TemporaryFile scratch(folder.empty() ? "." : folder, "jpg");
  std::vector<uint8_t> bytes;
  if (!scratch.ok()) return bytes;
  if (WriteJpegFile(scratch.writePath(), image) == 1) ReadFileBytes(scratch.writePath(), size_t{0x7FFFFFFF}, bytes);
  return bytes;
}

// The palette as red-green-blue triplets, long enough for every index the picture uses.
std::vector<uint8_t> Triplets(const ImageBlock& image, int& colours) {
  colours = image.activePalette ? image.activePalette->count() : 1;
  colours = std::max(colours, MaxIndexUsed(image) + 1);
  if (image.transparent()) colours = std::max(colours, image.transparentIndex + 1);
  colours = std::min(colours, 256);
  uint32_t table[256];
  PaletteEntries(image, table);
  std::vector<uint8_t> rgb;
  for (int i = 0; i < colours; ++i) {
    rgb.push_back(static_cast<uint8_t>(table[i] >> 16));
    rgb.push_back(static_cast<uint8_t>(table[i] >> 8));
    rgb.push_back(static_cast<uint8_t>(table[i]));
  }
  return rgb;
}

}  // namespace

int SwfTimeUnit(const std::vector<int>& delays) {
  int searchFrom = 100;
  for (size_t i = 1; i < delays.size(); ++i) searchFrom = std::min(searchFrom, std::max(1, delays[i]));
  return DelayDivisorFrom(delays, searchFrom);
}

int WriteSwfFile(const std::string& path, const AnimHeader& document, Progress* progress) {
  // Bitmap sizes are 16-bit fields, and a transparent frame gains a one-pixel border.
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (PlaneWidth(*f) > kSwfLargestBitmap - 2 || PlaneHeight(*f) > kSwfLargestBitmap - 2) {
      ShowText("A Flash movie holds pictures of at most %d x %d pixels; a frame is %d x %d.", kSwfLargestBitmap - 2,
               kSwfLargestBitmap - 2, PlaneWidth(*f), PlaneHeight(*f));
      return 0;
    }
  }
  SetProgressText(progress, "Building Flash File...");
  StartProgress(progress, document.frameCount);
  std::vector<int> delays;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    delays.push_back(std::max(0, GifDelayFromDocument(f->delay, Prefs().timeBase())));
  const int unit = SwfTimeUnit(delays);
  const int rate = 100 / unit;

  swf::Movie movie(document.screenWidth + 1, document.screenHeight + 1);
  bool grows = false;
  int kind = 0;
  size_t index = 0;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f), ++index) {
    kind = NextImage(f) ? RemovalKind(f->disposal(), kind) : 0;
    const int frames = delays[index] / unit;
    const int w = PlaneWidth(*f), h = PlaneHeight(*f);
    const uint8_t* colour = TrueColourRows(*f);
    const uint8_t* alpha = AlphaRows(*f);
    if (colour && alpha) {
      movie.addTrueColour(frames, kind, w, h, f->left, f->top, colour, Stride24(w), alpha, Stride8(w));
    } else if (colour) {
      const std::vector<uint8_t> jpeg = JpegBytes(*f);
      // Leaving the picture out would give a movie with a frame missing.
      if (jpeg.empty()) return 0;
      movie.addJpeg(frames, kind, w, h, f->left, f->top, jpeg);
    } else if (f->indexedImage) {
      int colours = 0;
      const std::vector<uint8_t> palette = Triplets(*f, colours);
      if (!f->transparent()) {
        movie.addIndexed(frames, kind, w, h, f->left, f->top, f->indexedImage->pixels.data(), f->indexedImage->stride(),
                         palette.data(), colours, -1);
      } else {
        // A clear border keeps players from smearing the edge pixels outwards when scaling.
        const size_t stride = static_cast<size_t>(w) + 2;
        std::vector<uint8_t> framed(stride * static_cast<size_t>(h + 2), f->transparentIndex);
        for (int y = 0; y < h; ++y)
          std::copy_n(f->indexedImage->row(y), w, framed.data() + static_cast<size_t>(y + 1) * stride + 1);
        movie.addIndexed(frames, kind, w + 2, h + 2, f->left - 1, f->top - 1, framed.data(), stride, palette.data(),
                         colours, f->transparentIndex);
        grows = true;
      }
    }
    StepProgress(progress);
  }
  if (movie.frameCount() > kSwfMostFrames) {
    ShowText("A Flash movie holds at most %d frames; at %d frames per second this animation needs %d.", kSwfMostFrames,
             rate, movie.frameCount());
    return 0;
  }
  const int growth = grows ? 1 : 0;
  return movie.write(path, document.screenWidth + growth, document.screenHeight + growth, rate);
}

}  // namespace fw
