#include "imaging/transform_commands.h"

#include "core/undo_history.h"
#include "imaging/transforms.h"

namespace fw {

int UnoptimizeCommand(AnimHeader& document, Progress* progress) {
  UndoRecord* undo = RecordUndo(undo_kind::kUnoptimize, document, nullptr, {}, 0);
  const int processed = Unoptimize(document, progress);
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

bool ReverseCommand(AnimHeader& document) {
  if (document.frameCount < 2) return false;
  RecordUndo(undo_kind::kReorder, document, nullptr, {}, 0);
  ReverseBlocks(document);
  document.encodedSize = -1;
  return true;
}

int BounceCommand(AnimHeader& document) {
  UndoRecord* undo = RecordUndo(undo_kind::kBounce, document, nullptr, {}, 0);
  const int copies = BounceAnimation(document);
  if (copies == 0) DiscardUndo(undo);
  return copies;
}

bool ReduceFramesCommand(AnimHeader& document, int interval) {
  if (interval < 2 || interval > document.frameCount) return ReduceFrameCount(document, interval);
  UndoRecord* undo = RecordUndo(undo_kind::kReduceFrames, document, nullptr, {}, 0);
  if (!ReduceFrameCount(document, interval)) {
    DiscardUndo(undo);
    return false;
  }
  return true;
}

}  // namespace fw
