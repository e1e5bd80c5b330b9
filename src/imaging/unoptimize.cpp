// Unoptimize: every image becomes the full picture a viewer shows at that point.
#include <algorithm>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/full_frames.h"
#include "imaging/transforms.h"

namespace fw {
namespace {

// Draws the frame's pixels onto the canvas at its position, skipping transparent ones and
// whatever lies outside the canvas.
void DrawOnto(IndexedImage& canvas, const ImageBlock& f) {
  const IndexedImage& image = *f.indexedImage;
  const int x0 = std::max(0, f.left), y0 = std::max(0, f.top);
  const int x1 = std::min({canvas.width, f.left + f.width, f.left + image.width});
  const int y1 = std::min({canvas.height, f.top + f.height, f.top + image.height});
  const bool transparent = f.transparent();
  for (int y = y0; y < y1; ++y) {
    const uint8_t* src = image.row(y - f.top) + (x0 - f.left);
    uint8_t* dst = canvas.row(y) + x0;
    if (!transparent) {
      std::copy(src, src + (x1 - x0), dst);
      continue;
    }
    for (int x = 0; x < x1 - x0; ++x)
      if (src[x] != f.transparentIndex) dst[x] = src[x];
  }
}

void FillRect(IndexedImage& canvas, int left, int top, int width, int height, uint8_t index) {
  const int x0 = std::max(0, left), y0 = std::max(0, top);
  const int x1 = std::min(canvas.width, left + width), y1 = std::min(canvas.height, top + height);
  for (int y = y0; y < y1; ++y) std::fill(canvas.row(y) + x0, canvas.row(y) + std::max(x0, x1), index);
}

}  // namespace

int Unoptimize(AnimHeader& document, Progress* progress, int* approximated) {
  if (approximated) *approximated = 0;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->localPalette) return UnoptimizeInColour(document, progress, approximated);
  const int W = document.screenWidth, H = document.screenHeight;
  std::unique_ptr<IndexedImage> canvas = AllocIndexedImage(W, H, document.globalPalette.get());
  if (!canvas) {
    ShowMessage(40134);
    return -1;
  }
  FillIndexed(*canvas, document.backgroundIndex);
  SetProgressText(progress, MessageText(40147));
  StartProgress(progress, document.frameCount);

  int processed = 0;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (!f->indexedImage) continue;
    const int disposal = Disposal(*f);
    if (disposal != kDisposalPrevious) DrawOnto(*canvas, *f);
    std::unique_ptr<IndexedImage> full = CopyIndexedImage(*canvas);
    if (!full) {
      ShowMessage(40136);
      break;
    }
    if (disposal == kDisposalPrevious) DrawOnto(*full, *f);
    const int oldLeft = f->left, oldTop = f->top, oldWidth = f->width, oldHeight = f->height;
    SetColourTable(*full, f->activePalette);
    RemoveTrueColour(*f);
    SetTransparency(*f, false);
    SetIndexedImage(*f, std::move(full));
    f->left = f->top = 0;
    f->width = W;
    f->height = H;
    if (disposal == kDisposalBackground) FillRect(*canvas, oldLeft, oldTop, oldWidth, oldHeight, document.backgroundIndex);
    SetDisposal(*f, kDisposalLeave);
    ++processed;
    if (!StepProgress(progress)) break;
  }
  if (processed > 0) {
    document.encodedSize = -1;
    ComputeColourUsage(document, document.colourUsage.data(), true);
  }
  return processed;
}

}  // namespace fw
