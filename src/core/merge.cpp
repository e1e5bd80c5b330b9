// Bringing loaded animations together into the current document.
#include <algorithm>
#include <vector>

#include "core/batch.h"
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

bool EnlargeScreens() { return Prefs().read(pref::kFrameSizePolicy) & pref::kSizeEnlarge; }

// Moves the blocks of `incoming` (and nothing of its chain) to the end of `target`, or before
// the frame at `insertAt` when that frame exists.
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
}

}  // namespace

bool KeepPalettesAsLocal(AnimHeader& target, AnimHeader& incoming) {
  const bool differs = !SamePalette(target.globalPalette.get(), incoming.globalPalette.get());
  for (ImageBlock* f = FirstImage(&incoming); f; f = NextImage(f)) {
    if (f->localPalette) continue;
    if (differs && f->activePalette) {
      auto local = f->activePalette->copy();
      if (!local) return false;
      SetLocalPalette(*f, std::move(local));
    } else {
      f->activePalette = target.globalPalette.get();
    }
  }
  return true;
}

bool MergeLoadedAnimations(DocumentState& state, AnimPtr chain, int count, const PaletteReconciler& reconcile) {
  if (!chain) return false;
  // Detach the chain into a list so each animation can be handled on its own.
  std::vector<AnimPtr> loaded;
  for (AnimPtr a = std::move(chain); a;) {
    AnimPtr next = std::move(a->nextInChain);
    loaded.push_back(std::move(a));
    a = std::move(next);
  }

  const bool hadDocument = state.document != nullptr;
  AnimPtr created;
  AnimHeader* target;
  size_t firstIncoming = 0;
  if (hadDocument) {
    target = state.document.get();
  } else {
    created = std::move(loaded.front());
    target = created.get();
    firstIncoming = 1;
  }
  const int framesBefore = target->frameCount;

  if (EnlargeScreens()) {
    for (size_t k = firstIncoming; k < loaded.size(); ++k) {
      target->screenWidth = std::max(target->screenWidth, loaded[k]->screenWidth);
      target->screenHeight = std::max(target->screenHeight, loaded[k]->screenHeight);
    }
  }

  int insertAt = hadDocument ? state.currentFrame : -1;
  for (size_t k = firstIncoming; k < loaded.size(); ++k) {
    if (!reconcile(*target, *loaded[k])) return false;
    const int added = loaded[k]->frameCount;
    MoveBlocks(*target, *loaded[k], insertAt);
    if (insertAt >= 0) insertAt += added;
  }
  target->encodedSize = -1;

  if (hadDocument) {
    if (framesBefore == 1 && target->frameCount > 1)
      target->playCount = static_cast<int32_t>(Prefs().read(pref::kDefaultLoopCount));
    if (!ExtensionKeepsName(state.fileName) && target->frameCount >= 2) state.fileName.clear();
  } else {
    // One file read on its own keeps its own loop count; a merge takes the default.
    if (count != 1 || loaded.size() != 1)
      target->playCount = static_cast<int32_t>(Prefs().read(pref::kDefaultLoopCount));
    state.fileName.clear();
    state.document = std::move(created);
  }
  return true;
}

}  // namespace fw
