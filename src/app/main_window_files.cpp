// The main window's file commands: open, insert, revert, save, save as and the recent files.
#include "app/main_window.h"
#include "app/data_folders.h"
#include "imaging/keep_pictures.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <optional>
#include <QLabel>
#include <QLocale>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStatusBar>
#include <QToolBar>
#include <QUrl>
#include <algorithm>

#include "app/commands.h"
#include "app/gui_services.h"
#include "app/live_edit.h"
#include "app/window_text.h"
#include "app/preferences/merge_questions.h"
#include "core/clipboard_record.h"
#include "core/frame_clip.h"
#include "core/message_sink.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/undo_apply.h"
#include "core/undo_history.h"
#include "core/workers.h"
#include "formats/file_dispatch.h"
#include "core/read_budget.h"
#include "gif/gif_writer.h"
#include "imaging/transforms.h"
#include "formats/filmstrip.h"
#include "formats/save_document.h"
#include "imaging/palette_reconcile.h"
#include "imaging/transform_commands.h"
#include "ui/clipboard_frames.h"
#include "ui/frame_image.h"
#include "ui/frame_strip.h"
#include "ui/preview_dialog.h"
#include "ui/property_bar.h"
#include "ui/avi_settings_dialog.h"
#include "ui/save_as_dialog.h"
#include "ui/save_style_panel.h"
#include "ui/start_panel.h"
#include "ui/strip_geometry.h"

namespace fw {

using namespace window_text;

// --- open ---

AnimPtr MainWindow::readFiles(const QStringList& paths, int& read, int& lastStatus) {
  AnimPtr head;
  AnimHeader* tail = nullptr;
  read = 0;
  auto progress = CreateProgress(progressHook_.get(), progress_flag::kOwnWindow);
  StartProgress(progress.get(), paths.size());
  // The files join the open document (when inserting) and each other: together they are held to
  // the document's pixel limit.
  int64_t held = document() ? DocumentPixels(*document()) : 0;
  for (int i = 0; i < paths.size(); ++i) {
    SetProgressText(progress.get(), FormatText(MessageText(40359), Path(QFileInfo(paths[i]).fileName()).c_str()));
    LoadResult r;
    {
      PixelsAlreadyHeld alreadyHeld(held);
      r = LoadAnimationFile(Path(paths[i]), progress.get());
    }
    if (r.document) held += DocumentPixels(*r.document);
    lastStatus = r.status;
    if (r.status == kReadFailed || !r.document) {
      if (i + 1 < paths.size() &&
          Messages().ask(40331, MessageText(40331), MessageText(40332), Buttons::YesNo, Answer::Yes) == Answer::No)
        break;
      continue;
    }
    AnimHeader* raw = r.document.get();
    if (!head) head = std::move(r.document);
    else tail->nextInChain = std::move(r.document);
    tail = raw;
    ++read;
    // The reader used the bar for the file's bytes; it counts files again.
    StartProgress(progress.get(), paths.size());
    if (!SetProgressPosition(progress.get(), i + 1)) break;
  }
  CloseProgress(progress.get());
  return head;
}

void MainWindow::installDocument(AnimPtr chain, int count, bool insert) {
  (void)insert;
  if (!MergeLoadedAnimations(state_, std::move(chain), count, DocumentPaletteReconciler())) return;
}

int MainWindow::openFiles(QStringList paths) {
  if (!closeDocument()) return 0;
  std::stable_sort(paths.begin(), paths.end(),
                   [](const QString& a, const QString& b) { return LessIgnoringCase(Path(a), Path(b)); });
  int read = 0, status = kReadFailed;
  AnimPtr chain = readFiles(paths, read, status);
  if (!chain) {
    updateTitle();
    strip_->setDocument(nullptr);
    return 0;
  }
  MergeLoadedAnimations(state_, std::move(chain), read, DocumentPaletteReconciler());
  if (!document()) return 0;
  const bool plain = read == 1 && paths.size() == 1 && status == kReadComplete;
  if (plain) state_.fileName = Path(paths.front());
  else state_.fileName.clear();
  ClearSelection(*document());
  current_ = -1;
  // A new document starts at 100%.
  zoom_ = 0;
  strip_->setZoom(0);
  strip_->setDocument(document());
  setModified(!plain);
  if (plain) rememberRecent(state_.fileName);
  if (read == 1 && paths.size() == 1 && !askingFilmstripLayout_) splitFilmstripByName(Path(paths.front()));
  updateTitle();
  setCurrentFrame(-1);
  RefreshSize(document(), true, sizeDisplay_.get());
  RefreshColourUsage(document());
  if (!Prefs().bit(pref::kOptionFlags, 1u << 21) && document()->frameCount > 1 && isVisible()) togglePreview(false);
  return read;
}

int MainWindow::insertFiles(QStringList paths) {
  if (!document()) return openFiles(paths);
  std::stable_sort(paths.begin(), paths.end(),
                   [](const QString& a, const QString& b) { return LessIgnoringCase(Path(a), Path(b)); });
  stopWorkersAndPreview();
  const int at = current_ >= 0 ? current_ : document()->frameCount;
  const int framesBefore = document()->frameCount;
  int read = 0, status = kReadFailed;
  AnimPtr chain = readFiles(paths, read, status);
  state_.currentFrame = current_;
  if (!chain) {
    afterNothingChanged();
    return 0;
  }
  const std::vector<const ImageBlock*> order = OrderWithInserted(*document(), at, chain.get());
  const KeptEdit kept = EditKeepingPictures(*document(), order, nullptr, [&] {
    UndoPtr pending = PrepareUndo(undo_kind::kInsertFrames, *document(), at);
    if (!MergeLoadedAnimations(state_, std::move(chain), 0, DocumentPaletteReconciler())) {
      DiscardUndo(std::move(pending));
      return false;
    }
    if (pending) CommitUndoInsert(std::move(pending), *document());
    return true;
  });
  if (!kept.done) {
    afterNothingChanged();
    return 0;
  }
  selectInserted(at, document()->frameCount - framesBefore);
  updateTitle();
  afterEdit(true, true);
  noteKeptEdit(kept);
  return read;
}

// A one-picture file named "name (MxN).ext" holds M x N frames.
void MainWindow::splitFilmstripByName(const std::string& path) {
  AnimHeader* doc = document();
  int columns = 0, rows = 0;
  if (!doc || doc->frameCount != 1 || !ParseFilmstripName(path, columns, rows)) return;
  if (FilmstripImportProblem(*doc, columns, rows) != 0) return;
  StripLayout layout;
  layout.totalWidth = doc->screenWidth;
  layout.totalHeight = doc->screenHeight;
  layout.columns = columns;
  layout.rows = rows;
  if (!SplitStrip(*doc, layout)) return;
  doc->encodedSize = -1;
  state_.fileName.clear();
  strip_->setDocument(doc);
  setModified(true);
  propertyBar_->refresh(doc, current_, false);
}

// The open dialogs start where the last one ended, or among the samples.
static QString OpenDialogFolder() {
  if (PreferenceStore* store = Prefs().store()) {
    if (auto dir = store->text("InitDir"); dir && !dir->empty()) return QString::fromStdString(*dir);
  }
  return SamplesFolder();
}

static void RememberOpenFolder(const QStringList& paths) {
  if (PreferenceStore* store = Prefs().store(); store && !paths.isEmpty())
    store->setText("InitDir", QFileInfo(paths.front()).absolutePath().toStdString());
}

void MainWindow::openWithDialog(const QString& filter) {
  const QStringList paths = QFileDialog::getOpenFileNames(this, Text(40230), OpenDialogFolder(), filter);
  if (paths.isEmpty()) return;
  RememberOpenFolder(paths);
  openFiles(paths);
}

void MainWindow::insertWithDialog() {
  const QStringList paths =
      QFileDialog::getOpenFileNames(this, Text(40229), OpenDialogFolder(), QString::fromLatin1(kOpenFilters));
  if (paths.isEmpty()) return;
  RememberOpenFolder(paths);
  insertFiles(paths);
}

bool MainWindow::closeDocument() {
  if (document() && modified_) {
    const std::string text = state_.fileName.empty() ? MessageText(40249)
                                                     : FormatText(MessageText(40250), state_.fileName.c_str());
    const Answer a = Messages().ask(40250, text, "Framewright", Buttons::YesNoCancel, Answer::Yes);
    if (a == Answer::Cancel) return false;
    if (a == Answer::Yes && !saveDocument()) return false;
  }
  stopWorkersAndPreview();
  liveEdit_->end();
  strip_->setDocument(nullptr);
  state_.document.reset();
  state_.fileName.clear();
  ClearUndo();
  current_ = -1;
  state_.currentFrame = -1;
  setModified(false);
  shownSize_ = -1;
  updateTitle();
  setCurrentFrame(-1);
  return true;
}

void MainWindow::restart() { closeDocument(); }

void MainWindow::revert() {
  if (!modified_ || state_.fileName.empty()) return;
  if (Messages().ask(40232, MessageText(40232), MessageText(40233), Buttons::OkCancel, Answer::Ok) != Answer::Ok)
    return;
  setModified(false);
  openFiles({QString::fromStdString(state_.fileName)});
}

// --- save ---

bool MainWindow::saveDocument() {
  AnimHeader* doc = document();
  if (!doc) return false;
  if (state_.fileName.empty()) return saveAsWithDialog(kSaveGif);
  CancelAndWait(worker::kDocument);
  if (ClipBeforeSave(*doc, true) == 0) return false;
  const int type = SaveTypeForName(state_.fileName);
  // An AVI asks how to compress it (and for a sound track) each time it is saved.
  std::optional<AviExportSettings> avi;
  if (type == kSaveAvi) {
    AviSettingsDialog settings(*doc, this);
    if (settings.exec() != QDialog::Accepted) return false;
    avi = settings.settings();
  }
  auto progress = CreateProgress(progressHook_.get(), progress_flag::kOwnWindow);
  if (!WriteDocument(state_.fileName, *doc, 1, type, progress.get(), avi ? &*avi : nullptr)) return false;
  setModified(false);
  updateCommandStates();
  return true;
}

bool MainWindow::saveDocumentAs(const QString& path) {
  const AnimHeader* doc = document();
  if (!doc) return false;
  const int type = SaveTypeForName(Path(path));
  const auto styles = OfferedSaveStyles(type, doc->frameCount);
  const bool animation = !styles.empty() && styles.front() == SaveStyle::Animation;
  const uint32_t options = animation ? save_option::kAnimation : save_option::kNoStyle;
  return saveDocumentAs(path, type, options);
}

// Whether the written file holds the whole animation, so the document takes its name.
static bool FileHoldsDocument(int type, uint32_t options, int frameCount) {
  switch (type) {
    case kSaveAvi:
    case kSavePsd:
    case kSaveCur:
    case kSaveIco:
    case kSaveAni: return true;
    case kSaveGif:
    case kSavePng: return frameCount == 1 || (options & save_option::kAnimation);
    case kSaveBmp:
    case kSaveJpg: return frameCount == 1;
    default: return false;
  }
}

bool MainWindow::saveDocumentAs(const QString& path, int type, uint32_t options, const AviExportSettings* avi) {
  AnimHeader* doc = document();
  if (!doc) return false;
  CancelAndWait(worker::kDocument);
  if (ClipBeforeSave(*doc, true) == 0) return false;
  const std::string target = Path(path);
  auto progress = CreateProgress(progressHook_.get(), progress_flag::kOwnWindow);
  if (!WriteDocument(target, *doc, options, type, progress.get(), avi)) return false;
  // Bits 8-15 keep the JPEG quality.
  const uint32_t memory = Prefs().read(pref::kSaveAsMemory);
  Prefs().write(pref::kSaveAsMemory, (memory & 0xFF00u) | static_cast<uint32_t>(type) | (options & 0xFFFFu) << 16);
  if (PreferenceStore* store = Prefs().store()) store->setText("SaveDir", Path(QFileInfo(path).absolutePath()));
  if (FileHoldsDocument(type, options, doc->frameCount)) {
    state_.fileName = target;
    setModified(false);
    rememberRecent(target);
    updateTitle();
  }
  updateCommandStates();
  return true;
}

bool MainWindow::saveAsWithDialog(int fixedType) {
  AnimHeader* doc = document();
  if (!doc) return false;
  if (ClipBeforeSave(*doc, true) == 0) return false;
  const uint32_t memory = Prefs().read(pref::kSaveAsMemory);
  SaveAsDialog dialog(*doc, state_.fileName, static_cast<int>(memory & 0xFF), fixedType, memory >> 16, this);
  for (;;) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    const QString path = dialog.target();
    const uint32_t options = dialog.options();
    QFileInfo info(path);
    // Numbered files replace theirs one by one.
    if (!(options & save_option::kSequence) && info.exists()) {
      if (!info.isWritable()) {
        Messages().ask(40366, FormatText(MessageText(40366), Path(path).c_str()), MessageText(40334), Buttons::Ok,
                       Answer::Ok);
        continue;
      }
      if (Messages().ask(40337, FormatText(MessageText(40337), Path(path).c_str()), MessageText(40334),
                         Buttons::YesNo, Answer::No) != Answer::Yes)
        continue;
    }
    return saveDocumentAs(path, dialog.type(), options, dialog.aviSettings());
  }
}

// --- recent files ---

// The recent-file entries "File1".."File7", in order, without gaps.
static std::vector<std::string> RecentFiles(PreferenceStore& store) {
  std::vector<std::string> list;
  for (int n = 1; n <= 7; ++n) {
    auto v = store.text("File" + std::to_string(n));
    if (v && !v->empty()) list.push_back(*v);
  }
  return list;
}

static void StoreRecentFiles(PreferenceStore& store, const std::vector<std::string>& list) {
  for (int n = 1; n <= 7; ++n) {
    if (n <= static_cast<int>(list.size())) store.setText("File" + std::to_string(n), list[static_cast<size_t>(n - 1)]);
    else store.remove("File" + std::to_string(n));
  }
}

void MainWindow::rememberRecent(const std::string& path) {
  PreferenceStore* store = Prefs().store();
  if (!store || path.empty()) return;
  std::vector<std::string> list{path};
  for (const std::string& v : RecentFiles(*store)) {
    if (QString::fromStdString(v).compare(QString::fromStdString(path), Qt::CaseInsensitive) == 0) continue;
    if (list.size() < 7) list.push_back(v);
  }
  StoreRecentFiles(*store, list);
  rebuildRecentMenu();
}

void MainWindow::rebuildRecentMenu() {
  for (QAction* a : recentActions_) {
    actions_.remove(a->data().toInt());
    delete a;
  }
  recentActions_.clear();
  PreferenceStore* store = Prefs().store();
  if (!store || !fileMenu_) return;
  for (int n = 1; n <= 7; ++n) {
    auto v = store->text("File" + std::to_string(n));
    if (!v || v->empty()) break;
    const QString name = QFileInfo(QString::fromStdString(*v)).fileName();
    QAction* a = makeAction(cmd::kRecentFirst + n - 1, QStringLiteral("&%1: %2").arg(n).arg(name));
    a->setToolTip(QString::fromStdString(*v));
    fileMenu_->insertAction(recentSeparator_, a);
    recentActions_ << a;
  }
}

void MainWindow::openRecent(int n) {
  PreferenceStore* store = Prefs().store();
  if (!store) return;
  auto v = store->text("File" + std::to_string(n));
  if (!v) return;
  // Declining to close the current document says nothing about the file.
  if (!closeDocument()) return;
  if (openFiles({QString::fromStdString(*v)}) > 0) return;
  // A file that cannot be opened leaves the list; later entries move up.
  std::vector<std::string> kept = RecentFiles(*store);
  if (n - 1 < static_cast<int>(kept.size())) kept.erase(kept.begin() + (n - 1));
  StoreRecentFiles(*store, kept);
  rebuildRecentMenu();
}

void MainWindow::pruneRecentFiles() {
  PreferenceStore* store = Prefs().store();
  if (!store) return;
  std::vector<std::string> kept = RecentFiles(*store);
  const size_t before = kept.size();
  std::erase_if(kept, [](const std::string& path) { return !QFileInfo::exists(QString::fromStdString(path)); });
  if (kept.size() != before) StoreRecentFiles(*store, kept);
}

}  // namespace fw
