#include "imaging/transform_commands.h"

#include "core/undo_history.h"
#include "imaging/keep_pictures.h"
#include "imaging/transforms.h"

namespace fw {

int UnoptimizeCommand(AnimHeader& document, Progress* progress, int* approximated) {
  UndoRecord* undo = RecordUndo(undo_kind::kUnoptimize, document, nullptr, {}, 0);
  const int processed = Unoptimize(document, progress, approximated);
  if (processed <= 0) DiscardUndo(undo);
  return processed;
}

bool RotateFrameCommand(AnimHeader& document, int frameIndex, int code) {
  ImageBlock* frame = ImageAt(&document, frameIndex);
  if (!frame) return false;
  UndoRecord* undo = RecordUndo(undo_kind::kRotateFrame, document, nullptr, {}, code | frameIndex << 16);
  bool grew = false;
  if (!RotateFrame(document, *frame, code, &grew)) {
    DiscardUndo(undo);
    return false;
  }
  document.encodedSize = -1;
  return grew;
}

bool RotateAllCommand(AnimHeader& document, int command) {
  UndoRecord* undo = RecordUndo(undo_kind::kRotateAll, document, nullptr, {}, command);
  if (!RotateAllFrames(document, command - transform::kAllFramesOffset)) {
    // Some frames may have turned: take the whole step back.
    if (undo) UndoLastAndForget(document);
    return false;
  }
  document.encodedSize = -1;
  return true;
}

bool ReverseCommand(AnimHeader& document, KeptEdit* kept) {
  if (document.frameCount < 2) return false;
  const KeptEdit result = EditKeepingPictures(document, ReversedOrder(document), nullptr, [&] {
    RecordUndo(undo_kind::kReorder, document, nullptr, {}, 0);
    ReverseBlocks(document);
    document.encodedSize = -1;
    return true;
  });
  if (kept) *kept = result;
  return result.done;
}

int BounceCommand(AnimHeader& document, KeptEdit* kept) {
  int copies = 0;
  const KeptEdit result = EditKeepingPictures(document, BouncedOrder(document), nullptr, [&] {
    UndoRecord* undo = RecordUndo(undo_kind::kBounce, document, nullptr, {}, 0);
    copies = BounceAnimation(document);
    if (copies == 0) DiscardUndo(undo);
    return copies > 0;
  });
  if (kept) *kept = result;
  return result.done ? copies : 0;
}

bool ReduceFramesCommand(AnimHeader& document, int interval, KeptEdit* kept) {
  if (interval < 2 || interval > document.frameCount) return ReduceFrameCount(document, interval);
  const KeptEdit result = EditKeepingPictures(document, OrderWithoutEvery(document, interval), nullptr, [&] {
    UndoRecord* undo = RecordUndo(undo_kind::kReduceFrames, document, nullptr, {}, 0);
    if (!ReduceFrameCount(document, interval)) {
      DiscardUndo(undo);
      return false;
    }
    return true;
  });
  if (kept) *kept = result;
  return result.done;
}

}  // namespace fw
