#include "app/live_edit.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QTemporaryFile>
#include <QTimer>

#include "app/commands.h"
#include "app/gui_services.h"
#include "app/main_window.h"
#include "app/preferences/general_page.h"
#include "core/anim_document.h"
#include "core/load_result.h"
#include "core/message_sink.h"
#include "core/named_settings.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "formats/file_dispatch.h"
#include "formats/filmstrip.h"
#include "formats/save_document.h"
#include "imaging/frames_from_editor.h"
#include "imaging/palette_reconcile.h"
#include "ui/editor_chooser.h"
#include "ui/progress_window.h"

namespace fw {
namespace {

constexpr uint32_t kLayeredEditor = 1u << 3;  // word 15

bool LayeredEditor() { return Prefs().bit(pref::kMoreFlags, kLayeredEditor); }

bool EndsWithIgnoringCase(const QString& text, const char* tail) {
  return text.endsWith(QString::fromLatin1(tail), Qt::CaseInsensitive);
}

// Asks for an editor until one is given; empty when the user cancelled.
QString ChooseEditor(QWidget* parent) {
  QString editor = QString::fromStdString(StoredEditorPath());
  while (editor.isEmpty()) {
    EditorChooser chooser(QString::fromStdString(StoredInitialDirectory()), parent);
    if (chooser.exec() != QDialog::Accepted) return {};
    editor = chooser.path();
    if (!editor.isEmpty()) StoreEditorPath(editor.toStdString());
  }
  return editor;
}

// A unique name in `folder` beginning with `prefix`; the placeholder file is removed again.
QString UniqueName(const QString& folder, const QString& prefix) {
  QTemporaryFile placeholder(folder + QLatin1Char('/') + prefix + QStringLiteral("XXXXXX"));
  if (!placeholder.open()) return {};
  return placeholder.fileName();  // removed when `placeholder` goes
}

}  // namespace

LiveEdit::LiveEdit(MainWindow& window) : QObject(&window), window_(window) {
  poll_ = new QTimer(this);
  poll_->setInterval(kPollMs);
  connect(poll_, &QTimer::timeout, this, [this] { check(true); });
  settle_ = new QTimer(this);
  settle_->setSingleShot(true);
  settle_->setInterval(kSettleMs);
  connect(settle_, &QTimer::timeout, this, [this] { reloadIfChanged(); });
}

LiveEdit::~LiveEdit() { end(); }

bool LiveEdit::start(int frameIndex) {
  if (active_) end();
  AnimHeader* doc = window_.document();
  if (!doc || doc->frameCount < 1) return false;
  const QString editor = ChooseEditor(&window_);
  if (editor.isEmpty()) return false;
  if (frameIndex < 0 && doc->frameCount == 1) frameIndex = 0;
  if (frameIndex < 0 && !LayeredEditor()) {
    ShowMessage(40360);
    return false;
  }
  if (frameIndex >= doc->frameCount) return false;
  frame_ = frameIndex;
  if (!writeFile(editor)) {
    end();
    return false;
  }
  active_ = true;
  lastRead_ = stampNow();
  // Started directly, never through a shell: the path and the file name reach the editor
  // exactly as they are.
  if (!QProcess::startDetached(editor, {QDir::toNativeSeparators(file_)})) {
    end();
    ShowMessage(40361, editor.toLocal8Bit().constData());
    return false;
  }
  watch();
  return true;
}

bool LiveEdit::writeFile(const QString& editor) {
  AnimHeader& doc = *window_.document();
  const ImageBlock* frame = frame_ >= 0 ? ImageAt(&doc, frame_) : nullptr;
  const char* type = frame_ < 0                                           ? "psd"
                     : LayeredEditor() && frame->hasTrueColour()          ? "psd"
                     : EndsWithIgnoringCase(editor, "fireworks.exe")      ? "png"
                                                                          : "gif";
  const QString prefix = QString::fromLatin1(type);
  folder_ = UniqueName(QDir::tempPath(), prefix);
  if (folder_.isEmpty() || !QDir().mkdir(folder_)) {
    folder_.clear();
    return false;
  }
  const QString name = UniqueName(folder_, prefix);
  if (name.isEmpty()) return false;
  file_ = name + QLatin1Char('.') + prefix;
  const std::string path = file_.toStdString();
  if (frame_ < 0) return WriteDocument(path, doc, save_option::kAnimation, kSavePsd);
  // A one-frame document with the same header and global palette, holding a copy of the frame.
  AnimPtr single = CopyHeader(doc);
  if (!single) return false;
  single->frameCount = 0;
  single->selectedCount = 0;
  single->selectionAnchor = -1;
  if (doc.globalPalette) {
    SetGlobalPalette(*single, doc.globalPalette->copy());
    single->screenFlags = doc.screenFlags;
  }
  ImagePtr copy = CopyImage(*frame, single->globalPalette.get());
  if (!copy) return false;
  copy->selected = 0;
  AppendBlock(*single, std::move(copy));
  const int saveType = prefix == QLatin1String("psd") ? kSavePsd : prefix == QLatin1String("png") ? kSavePng : kSaveGif;
  return WriteDocument(path, *single, saveType == kSavePng ? save_option::kNoStyle : save_option::kAnimation, saveType);
}

void LiveEdit::watch() {
  delete watcher_;
  watcher_ = new QFileSystemWatcher(this);
  // The folder sees editors that save by writing a new file and renaming it over the old one;
  // the file sees writes in place. Where notifications cannot be had, the poll alone finds
  // the changes.
  watcher_->addPath(folder_);
  watcher_->addPath(file_);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, [this] { somethingChanged(); });
  connect(watcher_, &QFileSystemWatcher::fileChanged, this, [this] { somethingChanged(); });
  poll_->start();
}

void LiveEdit::somethingChanged() {
  if (!active_) return;
  if (!QFileInfo(folder_).isDir()) {
    // The folder went away under us: nothing more can arrive.
    end();
    ShowMessage(40357);
    return;
  }
  // A file replaced by renaming is no longer watched under its name.
  if (watcher_ && QFileInfo::exists(file_) && !watcher_->files().contains(file_)) watcher_->addPath(file_);
  settle_->start();
}

LiveEdit::Stamp LiveEdit::stampNow() const {
  const QFileInfo info(file_);
  if (!info.exists()) return {};
  return {info.lastModified(), info.size()};
}

void LiveEdit::reloadIfChanged() { check(false); }

void LiveEdit::check(bool polling) {
  if (!active_) return;
  // A dialog or a long operation may hold pointers into the document: the reload waits until
  // the window is free again.
  const ProgressWindow* progress = window_.progressHook()->window();
  if (QApplication::activeModalWidget() || (progress && progress->running())) {
    settle_->start();
    return;
  }
  const Stamp now = stampNow();
  if (now.size < 0 || now == lastRead_) return;
  // A file still being written looks different again a moment later: wait for it to settle.
  if (polling && now.modified.msecsTo(QDateTime::currentDateTime()) < kSettleMs) {
    settle_->start();
    return;
  }
  lastRead_ = now;
  reload();
}

void LiveEdit::reload() {
  AnimHeader* doc = window_.document();
  if (!doc) {
    end();
    return;
  }
  // Anything but a complete read waits for the next save.
  reloading_ = true;
  LoadResult read = LoadAnimationFile(file_.toStdString());
  reloading_ = false;
  if (read.status != kReadComplete || !read.document || read.document->frameCount < 1) return;
  window_.beginDocumentChange();
  if (!DocumentPaletteReconciler()(doc, *read.document)) {
    window_.editAbandoned();
    return;
  }
  UndoRecord* step = RecordUndo(undo_kind::kLiveEdit, *doc, nullptr, {}, frame_);
  const bool replaced = frame_ < 0 ? ReplaceFramesFromEditor(*doc, *read.document)
                                   : ReplaceFrameFromEditor(*doc, frame_, *read.document);
  if (!replaced) {
    DiscardUndo(step);
    window_.editAbandoned();
    return;
  }
  doc->encodedSize = -1;
  window_.documentEdited(-1);
  emit reloaded();
}

void LiveEdit::end() {
  poll_->stop();
  settle_->stop();
  delete watcher_;
  watcher_ = nullptr;
  if (!file_.isEmpty()) QFile::remove(file_);
  // The folder is ours alone; whatever the editor left in it (backups, locks) goes too.
  if (!folder_.isEmpty()) QDir(folder_).removeRecursively();
  file_.clear();
  folder_.clear();
  active_ = false;
  frame_ = -1;
  lastRead_ = {};
}

void RefreshLiveEditActions(MainWindow& window, const LiveEdit& live) {
  const QString editor = QString::fromStdString(StoredEditorPath());
  const QString text = editor.isEmpty()
                           ? QString::fromUtf8(MessageText(40363))
                           : QString::fromStdString(FormatText(MessageText(40362), EditorDisplayName(editor).toStdString().c_str()));
  if (QAction* frame = window.action(cmd::kLiveEditFrame)) frame->setText(text);
  if (QAction* whole = window.action(cmd::kLiveEditAnimation)) {
    whole->setText(text);
    whole->setVisible(!editor.isEmpty() && LayeredEditor());
  }
  if (QAction* endItem = window.action(cmd::kEndLiveEdit)) endItem->setEnabled(live.active());
}

}  // namespace fw
