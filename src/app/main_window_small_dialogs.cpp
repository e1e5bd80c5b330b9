// The main window's open-filmstrip, HTML code and blend commands.
#include <QFileDialog>
#include <QFileInfo>

#include "app/gui_services.h"
#include "app/main_window.h"
#include "app/window_text.h"
#include "core/anim_document.h"
#include "core/message_sink.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "formats/file_dispatch.h"
#include "formats/filmstrip.h"
#include "imaging/blend.h"
#include "ui/blend_dialog.h"
#include "ui/filmstrip_import_dialog.h"
#include "ui/frame_strip.h"
#include "ui/html_code_dialog.h"
#include "ui/property_bar.h"

namespace fw {

using namespace window_text;

namespace {

constexpr int kNotAFilmstrip = 40166;

// The general pattern under the filmstrip command's own name.
QString FilmstripFilters() {
  return QStringLiteral(
             "Filmstrips (All Supported Formats) (*.gif *.avi *.bmp *.dib *.jpg *.jpe *.jpeg *.ani *.psd *.ico *.cur "
             "*.png);;") +
         QString::fromLatin1(kOpenFilters);
}

QString PickOne(QWidget* parent, const QString& title, const QString& filters) {
  QString folder;
  if (PreferenceStore* store = Prefs().store())
    if (auto dir = store->text("InitDir")) folder = QString::fromStdString(*dir);
  const QString path = QFileDialog::getOpenFileName(parent, title, folder, filters);
  if (!path.isEmpty())
    if (PreferenceStore* store = Prefs().store()) store->setText("InitDir", Path(QFileInfo(path).absolutePath()));
  return path;
}

}  // namespace

// --- open filmstrip ---

void MainWindow::openFilmstripWithDialog() {
  const QString path = PickOne(this, Text(40230), FilmstripFilters());
  if (!path.isEmpty()) openFilmstrip(path);
}

int MainWindow::openFilmstrip(const QString& path) {
  // The layout is asked for, so a "(MxN)" in the name only suggests it.
  askingFilmstripLayout_ = true;
  const int read = openFiles({path});
  askingFilmstripLayout_ = false;
  AnimHeader* doc = document();
  if (read != 1 || !doc) return 0;
  if (doc->frameCount != 1) {
    ShowMessage(kNotAFilmstrip);
    return 0;
  }
  int columns = 1, rows = 1;
  if (!ParseFilmstripName(Path(path), columns, rows)) columns = rows = 1;
  FilmstripImportDialog dialog(*doc, columns, rows, this);
  if (dialog.exec() != QDialog::Accepted) return 0;
  stopWorkersAndPreview();
  if (!ImportFilmstrip(*doc, dialog.perRow(), dialog.perColumn(), dialog.horizontal())) {
    afterNothingChanged();
    return 0;
  }
  doc->encodedSize = -1;
  state_.fileName.clear();
  current_ = -1;
  afterEdit(true, true);
  updateTitle();
  return doc->frameCount;
}

// --- HTML code ---

void MainWindow::showHtmlCode() {
  const AnimHeader* doc = document();
  if (!doc) return;
  HtmlCodeDialog dialog(QString::fromStdString(state_.fileName), doc->screenWidth, doc->screenHeight, this);
  dialog.exec();
}

// --- blend ---

void MainWindow::blendWithDialog() {
  if (!document() || document()->frameCount < 1) return;
  const QString path = PickOne(this, Text(blend_msg::kUndoName), QString::fromLatin1(kOpenFilters));
  if (!path.isEmpty()) blendWith(path);
}

bool MainWindow::blendWith(const QString& path) {
  AnimHeader* doc = document();
  if (!doc || doc->frameCount < 1) return false;
  stopWorkersAndPreview();
  auto progress = CreateProgress(progressHook_.get(), progress_flag::kOwnWindow);
  const AnimationLoader load = [](const std::string& file) { return LoadAnimationFile(file); };
  const BlendOptionsChooser choose = [this](const AnimHeader& first, const AnimHeader& second, BlendOptions& options) {
    BlendDialog dialog(options, this, &first, &second);
    if (dialog.exec() != QDialog::Accepted) return false;
    options = dialog.options();
    return true;
  };
  const int result = Blend(*doc, Path(path), load, choose, progress.get());
  progress.reset();
  if (result != 2) {
    afterNothingChanged();
    return false;
  }
  current_ = -1;
  afterEdit(true, true);
  return true;
}

}  // namespace fw
