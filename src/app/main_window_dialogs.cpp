// The main window's commands that run a dialog over the document.
#include "app/main_window.h"
#include "core/anim_document.h"
#include "core/workers.h"
#include "ui/comment_editor.h"

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

}  // namespace fw
