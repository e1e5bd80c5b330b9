#include "app/pixel_edit_command.h"

#include "app/main_window.h"
#include "core/anim_document.h"
#include "core/display_mask.h"
#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "core/undo_history.h"
#include "ui/pixel_editor.h"

namespace fw {

bool CommitPixelEdit(AnimHeader& document, int frameIndex, std::unique_ptr<IndexedImage> image,
                     std::vector<uint8_t> trueColour, std::vector<uint8_t> alpha) {
  ImageBlock* frame = ImageAt(&document, frameIndex);
  if (!frame || !image || !frame->indexedImage || image->width != frame->indexedImage->width ||
      image->height != frame->indexedImage->height)
    return false;
  // Nothing after the record can fail, so it is never discarded.
  RecordUndo(undo_kind::kEditPixels, document, nullptr, {}, frameIndex);
  // The edited copy's colour table may carry the mask's display colour; the frame's own
  // table is rebuilt with the mask below.
  image->colourTable = frame->indexedImage->colourTable;
  frame->indexedImage = std::move(image);
  if (frame->hasTrueColour() && trueColour.size() == frame->trueColour.size()) frame->trueColour = std::move(trueColour);
  if (!frame->alpha.empty() && alpha.size() == frame->alpha.size()) frame->alpha = std::move(alpha);
  FreeDisplayColour(*frame);
  if (frame->transparent()) BuildDisplayMask(*frame);
  document.encodedSize = -1;
  return true;
}

bool EditPixelsOfCurrentFrame(MainWindow& window) {
  AnimHeader* doc = window.document();
  const int index = window.currentFrame();
  ImageBlock* frame = doc && index >= 0 ? ImageAt(doc, index) : nullptr;
  if (!frame || !frame->indexedImage) return false;
  window.beginDocumentChange();
  PixelEditor editor(*frame, &window);
  if (editor.exec() != QDialog::Accepted || !editor.changed()) {
    window.editAbandoned();
    return false;
  }
  if (!CommitPixelEdit(*doc, index, editor.takeImage(), editor.takeTrueColour(), editor.takeAlpha())) {
    window.editAbandoned();
    return false;
  }
  window.documentEdited(index);
  return true;
}

}  // namespace fw
