// Bringing loaded animations together into the current document.
#include <algorithm>
#include <vector>

#include "core/batch.h"
#include "core/frame_size_question.h"
#include "core/preferences.h"

namespace fw {
namespace {

bool SamePalette(const Palette* a, const Palette* b) {
  if (!a || !b) return a == b;
  return a->sameEntries(*b);
}

bool ExtensionKeepsName(const std::string& fileName) {
  std::string ext(Extension(fileName));
  std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
  return ext == "gif" || ext == "avi" || ext == "ani" || ext == "ico" || ext == "psd";
}

// Moves the blocks of `incoming` to the end of `target`, or before the frame at `insertAt`
// when that frame exists.
void MoveBlocks(AnimHeader& target, AnimHeader& incoming, int insertAt) {
  GifBlock* first = incoming.blockList->next;
  if (!first) return;
  GifBlock* last = first;
  while (last->next) last = last->next;
  incoming.blockList->next = nullptr;

  ImageBlock* before = ImageAt(&target, insertAt);
  GifBlock* after = before ? before->prev : LastBlock(&target);
  GifBlock* follow = after->next;
  Link(after, first);
  last->next = follow;
  if (follow) follow->prev = last;
  target.frameCount += incoming.frameCount;
  incoming.frameCount = 0;
  for (ImageBlock* f = FirstImage(&target); f; f = NextImage(f))
    if (!f->localPalette) f->activePalette = target.globalPalette.get();
}

}  // namespace

bool KeepPalettesAsLocal(AnimHeader* target, AnimHeader& chain) {
  const Palette* reference = target ? target->globalPalette.get() : chain.globalPalette.get();
  for (AnimHeader* a = target ? &chain : chain.nextInChain.get(); a; a = a->nextInChain.get()) {
    if (SamePalette(reference, a->globalPalette.get())) continue;
    for (ImageBlock* f = FirstImage(a); f; f = NextImage(f)) {
      if (f->localPalette || !f->activePalette) continue;
      auto local = f->activePalette->copy();
      if (!local) return false;
      SetLocalPalette(*f, std::move(local));
    }
  }
  AppendChain(chain);
  for (ImageBlock* f = FirstImage(&chain); f; f = NextImage(f))
    if (!f->localPalette) f->activePalette = chain.globalPalette.get();
  return true;
}

bool MergeLoadedAnimations(DocumentState& state, AnimPtr chain, int count, const PaletteReconciler& reconcile) {
  if (!chain) return false;
  int loaded = 0;
  int32_t widest = 0, tallest = 0;
  for (AnimHeader* a = chain.get(); a; a = a->nextInChain.get()) {
    ++loaded;
    widest = std::max(widest, a->screenWidth);
    tallest = std::max(tallest, a->screenHeight);
  }
  AnimHeader* target = state.document.get();
  const int framesBefore = target ? target->frameCount : 0;
  AnimHeader& grows = target ? *target : *chain;
  const FrameSizeChoice size = ChooseFrameSize(widest > grows.screenWidth || tallest > grows.screenHeight);
  if (size == FrameSizeChoice::Cancel) return false;
  // A cancelled palette question leaves the document as it was, its size included.
  if (!reconcile(target, *chain)) return false;
  if (size == FrameSizeChoice::Enlarge) {
    grows.screenWidth = std::max(grows.screenWidth, widest);
    grows.screenHeight = std::max(grows.screenHeight, tallest);
  }
  chain->encodedSize = -1;

  if (target) {
    MoveBlocks(*target, *chain, state.currentFrame);
    target->encodedSize = -1;
    if (framesBefore == 1 && target->frameCount > 1)
      target->playCount = static_cast<int32_t>(Prefs().read(pref::kDefaultLoopCount));
    if (!ExtensionKeepsName(state.fileName) && target->frameCount >= 2) state.fileName.clear();
  } else {
    // One file read on its own keeps its own loop count; a merge takes the default.
    if (count != 1 || loaded != 1) chain->playCount = static_cast<int32_t>(Prefs().read(pref::kDefaultLoopCount));
    state.fileName.clear();
    state.document = std::move(chain);
  }
  return true;
}

}  // namespace fw
