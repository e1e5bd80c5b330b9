// Reduce colours (40081) and reduce frame count (40119): the dialog, the operation with its
// undo step, then the refresh.
#include <QApplication>

#include "app/gui_services.h"
#include "app/main_window.h"
#include "core/workers.h"
#include "imaging/keep_pictures.h"
#include "imaging/transform_commands.h"
#include "ui/reduce_colours_dialog.h"
#include "ui/reduce_frames_dialog.h"

namespace fw {

void MainWindow::reduceColoursWithDialog() {
  AnimHeader* doc = document();
  if (!doc) return;
  // The trial copies the document; a usage count under way must not be cut short by it.
  WaitForWorkers(worker::kUsage, [](bool on) {
    if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
  });
  if (!ReduceColoursDialog::Reducible(*doc)) return;
  stopWorkersAndPreview();
  ReduceColoursDialog dialog(*doc, current_, progressHook_.get(), this);
  dialog.exec();
  if (dialog.changed()) afterEdit(false, true);
  else afterNothingChanged();
}

void MainWindow::reduceFramesWithDialog() {
  AnimHeader* doc = document();
  if (!doc || doc->frameCount < 2) return;
  ReduceFramesDialog dialog(doc->frameCount, this);
  if (dialog.exec() != QDialog::Accepted) return;
  stopWorkersAndPreview();
  KeptEdit kept;
  if (!ReduceFramesCommand(*doc, dialog.interval(), &kept)) {
    afterNothingChanged();
    return;
  }
  afterEdit(true, true);
  noteKeptEdit(kept);
}

}  // namespace fw
