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
#include "formats/apng_chunk_file.h"
#include "formats/apng_chunks.h"
#include "formats/apng_composed.h"
#include "formats/format_messages.h"
#include "formats/png_file.h"
#include "formats/png_frame.h"

namespace fw {
namespace {

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
  std::vector<uint8_t> stream;
  uint32_t sequence = 0;
  int index = 0;
  const uint32_t frames = static_cast<uint32_t>(doc.frameCount - (hidden ? 1 : 0));
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
    const FrameControl control = ControlFor(*frame, 0);
    const bool inAnimation = index > 0 || !hidden;
    if (!EmitApngFrame(out, stream, index == 0, frames, static_cast<uint32_t>(std::max(0, doc.playCount)),
                       inAnimation ? &control : nullptr, sequence)) {
      ShowMessage(fmsg::kPngEncodeError);
      return 0;
    }
  }
  out.chunk(ChunkType("IEND"), nullptr, 0, nullptr, 0);
  // A refused write was noted for the save step, which names the target.
  return out.ok() ? 1 : 0;
}

// Frames written as they stand, each with its own palette or planes, when the file's one
// colour type and palette can hold them all and the first frame can be filled out to the
// canvas without painting over what should stay clear. Otherwise the animation is written as
// the pictures a viewer shows (apng_composed.h).
bool WritableAsFrames(const AnimHeader& document) {
  const ImageBlock* first = FirstImage(&document);
  if (!first) return false;
  auto key = [](const ImageBlock& f) { return f.transparent() ? int{f.transparentIndex} : -1; };
  const int reference = key(*first);
  const int depthClass = PngDepthClass(*first);
  for (const ImageBlock* f = first; f; f = NextImage(f)) {
    const int depth = PngDepthClass(*f);
    if (depth != depthClass) return false;
    if (depth == 8 && (f->localPalette || key(*f) != reference)) return false;
  }
  const bool coversCanvas = first->left == 0 && first->top == 0 && PlaneWidth(*first) == document.screenWidth &&
                            PlaneHeight(*first) == document.screenHeight;
  const bool fillsClear = depthClass == 32 || (depthClass == 8 && first->transparent());
  return coversCanvas || fillsClear;
}

}  // namespace

int CheckApngSavable(const AnimHeader& document) {
  // Any mix of palettes, transparency and depths can be written as the pictures it shows;
  // only an animation without frames has nothing to write.
  if (!FirstImage(&document)) {
    ShowText("Nothing to output.");
    return 0;
  }
  return 1;
}

int WriteApng(const std::string& path, AnimHeader& document) {
  if (document.frameCount <= 0) return 0;
  const ImageBlock& first = *FirstImage(&document);
  const bool onePicture = document.frameCount == 1;
  if (onePicture && first.left == 0 && first.top == 0 && PlaneWidth(first) == document.screenWidth &&
      PlaneHeight(first) == document.screenHeight)
    return WritePng(path, first, &document);
  if (!CheckApngSavable(document)) return 0;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    ShowMessage(fmsg::kCannotSaveTemp, path.c_str());
    return 0;
  }
  int result = 0;
  try {
    result = !onePicture && WritableAsFrames(document) ? Write(file, document) : WriteComposedApng(file, document);
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
