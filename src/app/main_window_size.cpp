// Save for size (40403): the dialog with its plan on the worker, then the refresh.
#include "app/main_window.h"
#include "core/workers.h"
#include "ui/save_for_size_dialog.h"

namespace fw {

void MainWindow::saveForSizeWithDialog() {
  AnimHeader* doc = document();
  if (!doc || doc->frameCount < 1) return;
  stopWorkersAndPreview();
  SaveForSizeDialog dialog(*doc, this);
  dialog.exec();
  if (!dialog.applied()) {
    afterNothingChanged();
    return;
  }
  current_ = -1;
  afterEdit(true, true);
}

}  // namespace fw
