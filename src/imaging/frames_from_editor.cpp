#include "imaging/frames_from_editor.h"

#include "core/display_mask.h"
#include "core/indexed_image.h"

#include <utility>

namespace fw {
namespace {

// A read frame without its own palette shows through the read document's global one; in the
// document it shows through the document's global palette where that has the same colours,
// else through a copy of its own.
void AdoptPalette(AnimHeader& document, ImageBlock& frame, const AnimHeader& read) {
  if (!frame.localPalette) {
    const Palette* shown = frame.activePalette ? frame.activePalette : read.globalPalette.get();
    if (document.globalPalette && (!shown || document.globalPalette->sameEntries(*shown))) {
      SetActivePalette(frame, document.globalPalette.get());
    } else if (shown) {
      SetLocalPalette(frame, shown->copy());
    }
  }
  if (frame.indexedImage) SetColourTable(*frame.indexedImage, frame.activePalette);
  BuildDisplayMask(frame);
}

ImagePtr TakeImage(AnimHeader& read, ImageBlock* frame) {
  BlockPtr block = DetachBlock(frame);
  --read.frameCount;
  return ImagePtr(static_cast<ImageBlock*>(block.release()));
}

}  // namespace

bool ReplaceFrameFromEditor(AnimHeader& document, int frameIndex, AnimHeader& read) {
  ImageBlock* old = ImageAt(&document, frameIndex);
  ImageBlock* first = FirstImage(&read);
  if (!old || !first) return false;
  ImagePtr frame = TakeImage(read, first);
  frame->delay = old->delay;
  SetDisposal(*frame, Disposal(*old));
  frame->selected = old->selected;
  // The reader names frames after the temporary file; the frame keeps its own name.
  std::swap(frame->name, old->name);
  // A single-picture file (PNG, PSD) has no offset of its own: the picture stays where the
  // frame was.
  if (frame->left == 0 && frame->top == 0 && frame->width == old->width && frame->height == old->height) {
    frame->left = old->left;
    frame->top = old->top;
  }
  if (old->localPalette && !frame->localPalette) {
    const Palette* shown = frame->activePalette ? frame->activePalette : read.globalPalette.get();
    if (shown) SetLocalPalette(*frame, shown->copy());
  }
  AdoptPalette(document, *frame, read);
  InsertAfter(old->prev, frame.release());
  ++document.frameCount;
  RemoveBlock(old);
  --document.frameCount;
  return true;
}

bool ReplaceFramesFromEditor(AnimHeader& document, AnimHeader& read) {
  if (!FirstImage(&read)) return false;
  ImageBlock* mine = FirstImage(&document);
  for (ImageBlock* theirs = FirstImage(&read); mine && theirs; mine = NextImage(mine), theirs = NextImage(theirs)) {
    theirs->delay = mine->delay;
    SetDisposal(*theirs, Disposal(*mine));
    std::swap(theirs->name, mine->name);
  }
  while (ImageBlock* f = FirstImage(&document)) {
    RemoveBlock(f);
    --document.frameCount;
  }
  while (ImageBlock* f = FirstImage(&read)) {
    ImagePtr frame = TakeImage(read, f);
    frame->selected = 0;
    AdoptPalette(document, *frame, read);
    AppendBlock(document, std::move(frame));
  }
  document.selectedCount = 0;
  document.encodedSize = -1;
  return true;
}

}  // namespace fw
