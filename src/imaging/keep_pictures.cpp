#include "imaging/keep_pictures.h"

#include <algorithm>

#include "core/frame_dependence.h"
#include "core/message_sink.h"
#include "core/undo_history.h"
#include "imaging/transforms.h"

namespace fw {

KeptEdit EditKeepingPictures(AnimHeader& document, const std::vector<const ImageBlock*>& after, Progress* progress,
                             const std::function<bool()>& edit) {
  KeptEdit result;
  if (!OrderChangesPictures(document, after)) {
    result.done = edit();
    return result;
  }
  // The original comes back through this copy, whether the edit fails or is undone.
  AnimPtr original = CopyAnimation(document, nullptr);
  if (!original) {
    ShowMessage(40134);
    return result;
  }
  UndoRecord* before = CurrentUndoRecord();
  if (Unoptimize(document, progress, &result.approximated) <= 0) {
    ExchangeDocuments(document, *original);
    return result;
  }
  result.expanded = true;
  result.done = edit();
  UndoRecord* recorded = CurrentUndoRecord();
  const bool newStep = recorded && recorded != before;
  if (!result.done) {
    if (newStep) DiscardUndo(recorded);
    ExchangeDocuments(document, *original);
    result.expanded = false;
    return result;
  }
  if (newStep) WidenUndoToDocument(recorded, std::move(original));
  document.encodedSize = -1;
  return result;
}

std::vector<const ImageBlock*> ReversedOrder(const AnimHeader& document) {
  std::vector<const ImageBlock*> order = FrameSequence(document);
  std::reverse(order.begin(), order.end());
  return order;
}

std::vector<const ImageBlock*> BouncedOrder(const AnimHeader& document) {
  const std::vector<const ImageBlock*> frames = FrameSequence(document);
  std::vector<const ImageBlock*> selected;
  for (const ImageBlock* f : frames)
    if (f->selected) selected.push_back(f);
  std::vector<const ImageBlock*> order = frames;
  if (selected.size() < 2) {
    for (size_t i = frames.size() >= 2 ? frames.size() - 2 : 0; i >= 1 && i < frames.size(); --i)
      order.push_back(frames[i]);
    return order;
  }
  auto at = std::find(order.begin(), order.end(), selected.back()) + 1;
  order.insert(at, selected.rbegin() + 1, selected.rend());
  return order;
}

std::vector<const ImageBlock*> OrderWithoutEvery(const AnimHeader& document, int interval) {
  std::vector<const ImageBlock*> order;
  int number = 1;
  for (const ImageBlock* f : FrameSequence(document))
    if (interval < 2 || number++ % interval != 0) order.push_back(f);
  return order;
}

std::vector<const ImageBlock*> OrderWithoutSelected(const AnimHeader& document) {
  std::vector<const ImageBlock*> order;
  for (const ImageBlock* f : FrameSequence(document))
    if (!f->selected) order.push_back(f);
  return order;
}

std::vector<const ImageBlock*> OrderWithInserted(const AnimHeader& document, int at, const AnimHeader* incoming) {
  std::vector<const ImageBlock*> order = FrameSequence(document);
  std::vector<const ImageBlock*> added;
  for (const AnimHeader* part = incoming; part; part = part->nextInChain.get()) {
    const std::vector<const ImageBlock*> frames = FrameSequence(*part);
    added.insert(added.end(), frames.begin(), frames.end());
  }
  const size_t position = at < 0 ? order.size() : std::min(order.size(), static_cast<size_t>(at));
  order.insert(order.begin() + static_cast<ptrdiff_t>(position), added.begin(), added.end());
  return order;
}

std::vector<const ImageBlock*> OrderWithMoved(const AnimHeader& document, const std::vector<int>& formers,
                                              int insertion) {
  const std::vector<const ImageBlock*> frames = FrameSequence(document);
  std::vector<const ImageBlock*> moved, rest;
  int before = 0;
  for (size_t i = 0; i < frames.size(); ++i) {
    const bool isMoved = std::find(formers.begin(), formers.end(), static_cast<int>(i)) != formers.end();
    (isMoved ? moved : rest).push_back(frames[i]);
    if (isMoved && static_cast<int>(i) < insertion) ++before;
  }
  const size_t position = std::clamp<ptrdiff_t>(insertion - before, 0, static_cast<ptrdiff_t>(rest.size()));
  rest.insert(rest.begin() + static_cast<ptrdiff_t>(position), moved.begin(), moved.end());
  return rest;
}

const char* ExpandedNote() { return "动画已展开为完整画面以保持每帧所见; 优化可再次缩小文件."; }

}  // namespace fw
