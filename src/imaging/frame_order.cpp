// Bounce, thinning out frames and centring.
#include <vector>

#include "core/message_sink.h"
#include "core/string_table.h"
#include "imaging/transforms.h"

namespace fw {

int BounceAnimation(AnimHeader& document) {
  std::vector<ImageBlock*> frames;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) frames.push_back(f);
  std::vector<ImageBlock*> selected;
  for (ImageBlock* f : frames)
    if (f->selected) selected.push_back(f);

  // Which frames are copied, in the order the copies follow each other, and where they go.
  std::vector<ImageBlock*> sources;
  GifBlock* after;
  if (selected.size() < 2) {
    for (size_t i = frames.size() >= 2 ? frames.size() - 2 : 0; i >= 1 && i < frames.size(); --i)
      sources.push_back(frames[i]);
    after = LastBlock(&document);
  } else {
    for (size_t i = selected.size() - 1; i-- > 0;) sources.push_back(selected[i]);
    after = selected.back();
  }
  int copies = 0;
  for (ImageBlock* source : sources) {
    ImagePtr copy = CopyImage(*source, source->localPalette ? nullptr : document.globalPalette.get());
    if (!copy) break;
    copy->selected = 0;
    GifBlock* raw = copy.release();
    InsertAfter(after, raw);
    after = raw;
    ++document.frameCount;
    ++copies;
  }
  if (copies) document.encodedSize = -1;
  return copies;
}

bool ReduceFrameCount(AnimHeader& document, int interval) {
  const int n = document.frameCount;
  if (interval < 2 || interval > n) {
    Messages().ask(40251, MessageText(40251), MessageText(40252), Buttons::Ok, Answer::Ok);
    return false;
  }
  int number = 1;
  ImageBlock* previous = nullptr;
  for (ImageBlock* f = FirstImage(&document); f; ++number) {
    ImageBlock* next = NextImage(f);
    if (number % interval == 0) {
      if (previous) previous->delay += f->delay;
      RemoveBlock(f);
      --document.frameCount;
    } else {
      previous = f;
    }
    f = next;
  }
  CountSelected(document);
  document.encodedSize = -1;
  return true;
}

void CentreAll(AnimHeader& document) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    f->left = (document.screenWidth - f->width) / 2;
    f->top = (document.screenHeight - f->height) / 2;
  }
  document.encodedSize = -1;
}

}  // namespace fw
