// The optimize command: the 24-bit warning, the dialog with its trial, then the refresh.
#include <QApplication>

#include "app/gui_services.h"
#include "app/main_window.h"
#include "core/true_colour_release.h"
#include "core/workers.h"
#include "ui/optimize_dialog.h"
#include "ui/true_colour_warning.h"

namespace fw {

void MainWindow::optimize() {
  AnimHeader* doc = document();
  if (!doc) return;
  // The dialog's trial counts colours itself; a count under way must not be cut short.
  WaitForWorkers(worker::kUsage, [](bool on) {
    if (on) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
  });
  stopWorkersAndPreview();
  bool released = false;
  if (KeepsTrueColour(*doc)) {
    TrueColourWarning warning(this);
    if (warning.exec() != QDialog::Accepted) {
      afterNothingChanged();
      return;
    }
    released = ReleaseTrueColour(*doc) > 0;
  }
  const int framesBefore = doc->frameCount;
  OptimizeDialog dialog(*doc, progressHook_.get(), this);
  dialog.exec();
  if (dialog.changed()) afterEdit(doc->frameCount != framesBefore, true);
  else if (released) afterEdit(false, true);
  else afterNothingChanged();
}

void MainWindow::afterNothingChanged() {
  // The workers were stopped before the dialog; their results are still wanted.
  if (AnimHeader* doc = document()) {
    RefreshSize(doc, false, sizeDisplay_.get());
    RefreshColourUsage(doc);
  }
  updateCommandStates();
}

}  // namespace fw
