// The main window's commands that run a dialog over the document.
#include <QFileDialog>
#include <QFileInfo>

#include "app/main_window.h"
#include "core/anim_document.h"
#include "core/workers.h"
#include "formats/timing_file.h"
#include "ui/comment_editor.h"
#include "ui/frame_strip.h"

namespace fw {

void MainWindow::editComments() {
  AnimHeader* doc = document();
  if (!doc) return;
  // The size worker reads the block list, comments included.
  stopWorkersAndPreview();
  CommentEditor editor(*doc, this);
  editor.exec();
  if (editor.changed()) afterEdit(false, true);
}

namespace {
const char kTimingFilter[] = "Text Files (*.txt)";
}

bool MainWindow::loadTiming(const QString& path) {
  AnimHeader* doc = document();
  if (!doc) return false;
  stopWorkersAndPreview();
  if (!LoadTimingFile(path.toStdString(), *doc)) return false;
  afterEdit(false, false);
  return true;
}

void MainWindow::loadTimingWithDialog() {
  if (!document()) return;
  const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open Timing File"), QString(),
                                                    QString::fromLatin1(kTimingFilter));
  if (!path.isEmpty()) loadTiming(path);
}

void MainWindow::saveTimingWithDialog() {
  AnimHeader* doc = document();
  if (!doc) return;
  QFileDialog dialog(this, QStringLiteral("Save Timing File"),
                     QString::fromStdString(SuggestedTimingName(state().fileName)),
                     QString::fromLatin1(kTimingFilter));
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
  WriteTimingFile(dialog.selectedFiles().front().toStdString(), *doc);
}

void MainWindow::dropIntoDocument(const QStringList& paths) {
  QStringList pictures;
  for (const QString& p : paths) {
    if (QFileInfo(p).suffix().compare(QStringLiteral("txt"), Qt::CaseInsensitive) == 0) loadTiming(p);
    else pictures << p;
  }
  if (!pictures.isEmpty()) insertFiles(pictures);
}

}  // namespace fw
