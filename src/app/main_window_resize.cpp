// The main window's resize, canvas and crop commands: their dialogs, then the operation, its undo
// step and the refresh.
#include "app/gui_services.h"
#include "app/main_window.h"
#include "core/anim_document.h"
#include "core/progress.h"
#include "imaging/canvas.h"
#include "imaging/resize.h"
#include "imaging/crop.h"
#include "ui/canvas_dialog.h"
#include "ui/move_crop_dialog.h"
#include "ui/resize_dialog.h"

namespace fw {

void MainWindow::resizeWithDialog(bool selectedOnly) {
  AnimHeader* doc = document();
  if (!doc) return;
  int32_t oldWidth = doc->screenWidth, oldHeight = doc->screenHeight;
  if (selectedOnly) {
    const ImageBlock* current = current_ >= 0 ? ImageAt(doc, current_) : nullptr;
    if (!current) return;
    oldWidth = current->width;
    oldHeight = current->height;
  }
  ResizeDialog dialog(*doc, selectedOnly, oldWidth, oldHeight, this);
  if (dialog.exec() != QDialog::Accepted) return;
  stopWorkersAndPreview();
  auto progress = CreateProgress(progressHook_.get(), progress_flag::kOwnWindow);
  const int changed = ResizeAnimation(*doc, dialog.scale(), dialog.bicubic(), progress.get());
  progress.reset();
  if (!changed) {
    updateCommandStates();
    return;
  }
  // Frame sizes, and for the whole animation the screen, changed: the strip lays out anew.
  afterEdit(true, true);
}

void MainWindow::increaseCanvasWithDialog() {
  AnimHeader* doc = document();
  if (!doc || current_ < 0) return;
  CanvasDialog dialog(*doc, this);
  if (dialog.exec() != QDialog::Accepted) return;
  stopWorkersAndPreview();
  if (IncreaseCanvas(*doc, dialog.newWidth(), dialog.newHeight()) == 0) {
    updateCommandStates();
    return;
  }
  doc->encodedSize = -1;
  afterEdit(true, true);
}

void MainWindow::moveCropWithDialog(bool animationMode) {
  AnimHeader* doc = document();
  if (!doc || (!animationMode && current_ < 0)) return;
  MoveCropDialog dialog(*doc, current_, animationMode, this);
  if (dialog.exec() != QDialog::Accepted) return;
  stopWorkersAndPreview();
  if (ApplyMoveCrop(*doc, dialog.state()) == 0) {
    // Cropping to the whole screen leaves a step that does nothing; the menus show it.
    updateCommandStates();
    return;
  }
  afterEdit(true, true);
}

}  // namespace fw
