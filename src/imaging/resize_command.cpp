// The resize command as the dialog runs it after OK.
#include <algorithm>

#include "core/progress.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "imaging/resize.h"

namespace fw {

int ResizeAnimation(AnimHeader& document, const ScaleRecord& scale, bool bicubic, Progress* progress) {
  if (scale.newWidth == scale.oldWidth && scale.newHeight == scale.oldHeight) return 0;
  int inScope = 0;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) inScope += InResizeScope(*f, scale);
  if (inScope == 0 && scale.selectedOnly) return 0;

  SetProgressText(progress, MessageText(resize_msg::kScaling));
  StartProgress(progress, inScope);
  UndoRecord* undo = RecordUndo(undo_kind::kNormalize, document, nullptr, {}, 0);
  const int result = bicubic ? ResizeBicubic(scale, document, progress) : ResizeNearest(scale, document, progress);
  if (result != 1) {
    // Both methods leave the document as it was unless they succeed.
    if (undo) DiscardUndo(undo);
    return 0;
  }
  if (scale.selectedOnly) {
    const Extent extent = ImageExtent(document);
    document.screenWidth = std::max(extent.right, 1);
    document.screenHeight = std::max(extent.bottom, 1);
  } else {
    document.screenWidth = std::max(scale.newWidth, 1);
    document.screenHeight = std::max(scale.newHeight, 1);
  }
  ComputeColourUsage(document, document.colourUsage.data(), true);
  document.encodedSize = -1;
  return 1;
}

}  // namespace fw
