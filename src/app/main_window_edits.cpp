// The main window's editing commands and the property bar's edits.
#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
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
#include "app/window_text.h"
#include "app/preferences/merge_questions.h"
#include "core/clipboard_record.h"
#include "core/frame_clip.h"
#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preference_store.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "core/undo_apply.h"
#include "core/progress.h"
#include "core/undo_history.h"
#include "core/web_timing.h"
#include "core/workers.h"
#include "formats/file_dispatch.h"
#include "gif/gif_writer.h"
#include "imaging/transforms.h"
#include "formats/filmstrip.h"
#include "formats/save_document.h"
#include "imaging/palette_reconcile.h"
#include "imaging/keep_pictures.h"
#include "imaging/transform_commands.h"
#include "ui/clipboard_frames.h"
#include "ui/frame_image.h"
#include "ui/frame_strip.h"
#include "ui/preview_dialog.h"
#include "ui/property_bar.h"
#include "ui/save_as_dialog.h"
#include "ui/save_style_panel.h"
#include "ui/start_panel.h"
#include "ui/strip_geometry.h"

namespace fw {

using namespace window_text;

// --- editing ---

bool MainWindow::deleteSelectedFrames() {
  AnimHeader* doc = document();
  GifBlock* head = nullptr;
  GifBlock* tail = nullptr;
  int index = 0;
  for (ImageBlock* f = FirstImage(doc); f;) {
    ImageBlock* next = NextImage(f);
    if (f->selected) {
      f->formerIndex = index;
      GifBlock* b = DetachBlock(f).release();
      --doc->frameCount;
      b->next = b->prev = nullptr;
      if (tail) {
        tail->next = b;
        b->prev = tail;
      } else {
        head = b;
      }
      tail = b;
    }
    ++index;
    f = next;
  }
  if (!head) return false;
  // Without undo the detached frames go with the chain.
  BlockChain chain(head);
  RecordUndo(undo_kind::kDeleteFrames, *doc, nullptr, std::move(chain), 0);
  doc->encodedSize = -1;
  return true;
}

void MainWindow::deleteSelection() {
  if (!document() || current_ < 0) {
    QApplication::beep();
    return;
  }
  removeSelection([this] { return deleteSelectedFrames(); });
}

// Delete and cut: frames that store only what changed are expanded first, so the frames left
// (and, for cut, the clipboard) keep the pictures they showed.
void MainWindow::removeSelection(const std::function<bool()>& removal) {
  AnimHeader* doc = document();
  const bool several = doc->selectedCount > 1;
  const int removedIndex = current_;
  stopWorkersAndPreview();
  const KeptEdit kept = EditKeepingPictures(*doc, OrderWithoutSelected(*doc), nullptr, removal);
  if (!kept.done) {
    afterNothingChanged();
    return;
  }
  ClearSelection(*doc);
  if (several || doc->frameCount == 0) {
    current_ = -1;
  } else {
    current_ = std::min(removedIndex, doc->frameCount - 1);
    SelectFrames(*doc, current_, kSelectPlain);
  }
  afterEdit(true, true);
  noteKeptEdit(kept);
}

void MainWindow::copySelection(bool cut) {
  AnimHeader* doc = document();
  if (!doc || current_ < 0) {
    QApplication::beep();
    return;
  }
  const int currentIndex = current_;
  auto toClipboard = [this, doc, currentIndex] {
    const std::vector<uint8_t> record = PackFrames(*doc);
    if (record.empty()) return false;
    const ImageBlock* shown = ImageAt(doc, currentIndex);
    QApplication::clipboard()->setMimeData(MakeFramesMimeData(record, shown ? FrameToImage(*shown, true) : QImage()));
    return true;
  };
  if (!cut) {
    toClipboard();
    updateCommandStates();
    return;
  }
  removeSelection([&] { return toClipboard() && deleteSelectedFrames(); });
}

void MainWindow::paste() {
  if (!ClipboardHasFrames(QApplication::clipboard()->mimeData())) {
    ShowMessage(40244);
    return;
  }
  WaitForWorkers(worker::kUsage);
  stopWorkersAndPreview();
  auto progress = CreateProgress(progressHook_.get(), progress_flag::kOwnWindow);
  SetProgressText(progress.get(), MessageText(40243));
  AnimPtr frames = ClipboardFrames(QApplication::clipboard()->mimeData());
  CloseProgress(progress.get());
  if (!frames) {
    ShowMessage(40244);
    return;
  }
  const int count = frames->frameCount;
  const bool hadDocument = document() != nullptr;
  const int at = hadDocument && current_ >= 0 ? current_ : (hadDocument ? document()->frameCount : 0);
  state_.currentFrame = hadDocument ? current_ : -1;
  auto merge = [&] {
    UndoPtr pending = hadDocument ? PrepareUndo(undo_kind::kPaste, *document(), at) : nullptr;
    if (!MergeLoadedAnimations(state_, std::move(frames), 0, DocumentPaletteReconciler())) {
      DiscardUndo(std::move(pending));
      return false;
    }
    if (pending) CommitUndoInsert(std::move(pending), *document());
    return true;
  };
  KeptEdit kept;
  if (hadDocument) kept = EditKeepingPictures(*document(), OrderWithInserted(*document(), at, frames.get()), nullptr, merge);
  else kept.done = merge();
  if (!kept.done) {
    if (hadDocument) afterNothingChanged();
    return;
  }
  if (!hadDocument) strip_->setDocument(document());
  selectInserted(at, count);
  updateTitle();
  afterEdit(true, true);
  noteKeptEdit(kept);
}

// New frames become the selection and the current frame, so the strip's highlight, the
// property bar and the status bar all name the same frames.
void MainWindow::selectInserted(int at, int count) {
  AnimHeader* doc = document();
  if (!doc || count <= 0) return;
  SelectFrames(*doc, at, kSelectPlain);
  SelectFrames(*doc, at + count - 1, kSelectExtend);
  current_ = at;
}

void MainWindow::undoRedo(bool redo) {
  AnimHeader* doc = document();
  if (!doc) return;
  // A timing step changes only delays: an open preview reloads them instead of closing.
  const bool timing = (redo ? NextRedoKind() : CurrentUndoKind()) == undo_kind::kEditTiming;
  if (timing) CancelAndWait(worker::kDocument);
  else stopWorkersAndPreview();
  const uint32_t hints = ApplyUndo(*doc, redo);
  applyUndoHints(hints);
  if (preview_ && (hints & undo_hint::kDelays)) preview_->reloadDelays();
}

void MainWindow::moveSelectionTo(int insertion) {
  AnimHeader* doc = document();
  if (!doc) return;
  const DragMove plan = PlanDragMove(*doc, current_, insertion);
  if (!plan.moves) return;
  stopWorkersAndPreview();
  const std::vector<int> formers = plan.formers.empty() ? std::vector<int>{current_} : plan.formers;
  const KeptEdit kept = EditKeepingPictures(*doc, OrderWithMoved(*doc, formers, insertion), nullptr, [&] {
    // The record's own redo is the move, so the strip and undo can never disagree about it.
    UndoRecord temporary;
    temporary.kind = plan.kind;
    temporary.value = plan.value;
    temporary.extra.assign(plan.formers.begin(), plan.formers.end());
    ApplyUndoRecord(*doc, temporary, true);
    RecordUndo(plan.kind, *doc, nullptr, {}, plan.value, std::vector<int32_t>(plan.formers.begin(), plan.formers.end()));
    return true;
  });
  if (!kept.done) {
    afterNothingChanged();
    return;
  }
  current_ = plan.newCurrent;
  doc->encodedSize = -1;
  afterEdit(false, true);
  noteKeptEdit(kept);
}

void MainWindow::rotate(int id) {
  AnimHeader* doc = document();
  if (!doc) return;
  if (!(id >= cmd::kAllRotateCw && id <= cmd::kAllFlipV) && current_ < 0) return;
  stopWorkersAndPreview();
  bool changed = false;
  if (id >= cmd::kAllRotateCw && id <= cmd::kAllFlipV) {
    changed = RotateAllCommand(*doc, id);
  } else {
    // Only a frame without pixels (or memory) refuses to turn.
    int index = 0;
    for (ImageBlock* f = FirstImage(doc); f; f = NextImage(f), ++index) {
      if (!f->selected || !f->indexedImage) continue;
      RotateFrameCommand(*doc, index, id);
      changed = true;
    }
  }
  if (!changed) {
    afterNothingChanged();
    return;
  }
  strip_->documentChanged();
  afterEdit(false, true);
}

void MainWindow::centreAll() {
  AnimHeader* doc = document();
  if (!doc) return;
  stopWorkersAndPreview();
  RecordUndo(undo_kind::kAllFrameProperties, *doc, nullptr, {}, 0);
  for (ImageBlock* f = FirstImage(doc); f; f = NextImage(f)) {
    f->left = (doc->screenWidth - f->width) / 2;
    f->top = (doc->screenHeight - f->height) / 2;
  }
  doc->encodedSize = -1;
  afterEdit(false, true);
}

void MainWindow::selectAll(bool invert) {
  AnimHeader* doc = document();
  if (!doc) return;
  if (invert) {
    for (int i = 0; i < doc->frameCount; ++i) SelectFrames(*doc, i, kSelectToggle);
    current_ = CurrentAfterSelect(*doc, -1);
  } else if (doc->frameCount > 0) {
    SelectFrames(*doc, 0, kSelectPlain);
    SelectFrames(*doc, doc->frameCount - 1, kSelectExtend);
    current_ = 0;
  }
  strip_->viewport()->update();
  setCurrentFrame(current_);
}

// --- property bar ---

void MainWindow::setDelayOfSelection(int value) {
  AnimHeader* doc = document();
  if (!doc || current_ < 0) return;
  if (value < 0 || value > 65535) {
    Messages().ask(40155, MessageText(40155), MessageText(40156), Buttons::Ok, Answer::Ok);
    value = 65535;
  }
  // A delay changes no frame the preview shows, so it stays open and is told the new delays.
  CancelAndWait(worker::kDocument);
  RecordUndo(undo_kind::kEditTiming, *doc, nullptr, {}, 0);
  int index = 0;
  for (ImageBlock* f = FirstImage(doc); f; f = NextImage(f), ++index) {
    if (!f->selected) continue;
    f->delay = value;
    if (preview_) preview_->setFrameDelay(index, value);
  }
  afterEdit(false, false);
}

bool MainWindow::makeDelaysWebSafe() {
  AnimHeader* doc = document();
  const int timeBase = Prefs().timeBase();
  if (!doc || CountDelaysBrowsersChange(*doc, timeBase) == 0) return false;
  // Like any delay edit: the preview stays open and takes the new delays.
  CancelAndWait(worker::kDocument);
  RecordUndo(undo_kind::kEditTiming, *doc, nullptr, {}, 0);
  MakeDelaysWebSafe(*doc, timeBase);
  if (preview_) preview_->reloadDelays();
  afterEdit(false, false);
  return true;
}

void MainWindow::setDisposalOfCurrent(int method) {
  AnimHeader* doc = document();
  ImageBlock* f = doc && current_ >= 0 ? ImageAt(doc, current_) : nullptr;
  if (!f || f->disposal() == method) return;
  stopWorkersAndPreview();
  RecordUndo(undo_kind::kFrameProperties, *doc, nullptr, {}, 0 | current_ << 16);
  SetDisposal(*f, method);
  doc->encodedSize = -1;
  afterEdit(false, true, current_);
}

void MainWindow::setTransparencyOfCurrent(bool on) {
  AnimHeader* doc = document();
  ImageBlock* f = doc && current_ >= 0 ? ImageAt(doc, current_) : nullptr;
  if (!f || f->transparent() == on) return;
  // Ticking here keeps the frame's stored transparent index; the bar's tick goes through the
  // transparency chooser instead.
  stopWorkersAndPreview();
  RecordUndo(undo_kind::kEditTransparency, *doc, nullptr, {}, (on ? 1 : 0) | current_ << 16);
  SetTransparency(*f, on);
  doc->encodedSize = -1;
  afterEdit(false, true, current_);
}

void MainWindow::setLocalPaletteOfCurrent(bool on) {
  AnimHeader* doc = document();
  ImageBlock* f = doc && current_ >= 0 ? ImageAt(doc, current_) : nullptr;
  if (!f || static_cast<bool>(f->localPalette) == on) return;
  stopWorkersAndPreview();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  UndoPtr pending = PrepareUndo(undo_kind::kDeleteLocalPalette, *doc, current_);
  bool done = false;
  if (on && doc->globalPalette) {
    SetLocalPalette(*f, doc->globalPalette->copy());
    done = true;
  } else if (!on && doc->globalPalette) {
    // The frame's pixels must show the same colours through the global palette.
    std::unique_ptr<Palette> old = SetLocalPalette(*f, nullptr);
    const Palette& g = *doc->globalPalette;
    if (f->indexedImage && old) {
      uint8_t map[256];
      for (int i = 0; i < 256; ++i) map[i] = static_cast<uint8_t>(i < old->count() ? g.nearest((*old)[i]) : 0);
      IndexedImage& ix = *f->indexedImage;
      for (int y = 0; y < ix.height; ++y)
        for (int x = 0; x < ix.width; ++x) ix.row(y)[x] = map[ix.row(y)[x]];
      if (f->transparent()) f->transparentIndex = map[f->transparentIndex];
    }
    f->activePalette = doc->globalPalette.get();
    if (f->indexedImage) SetColourTable(*f->indexedImage, f->activePalette);
    done = true;
  }
  if (done && pending) CommitUndoLocalPalette(std::move(pending), *doc);
  else DiscardUndo(std::move(pending));
  QApplication::restoreOverrideCursor();
  doc->encodedSize = -1;
  afterEdit(false, true, current_);
}

void MainWindow::setLoopCount(int value) {
  AnimHeader* doc = document();
  if (!doc) return;
  if (value < 0 || value > 65536) {
    Messages().ask(40234, MessageText(40234), MessageText(40158), Buttons::Ok, Answer::Ok);
    value = 0;
  }
  if (value == doc->playCount) {
    propertyBar_->refresh(doc, current_, false);
    return;
  }
  stopWorkersAndPreview();
  // The loop count lives in the header, which only the whole-document form of this step holds.
  RecordUndo(undo_kind::kAllFrameProperties, *doc, nullptr, {}, 1);
  doc->playCount = value;
  doc->encodedSize = -1;
  afterEdit(false, true);
}

void MainWindow::setTrueColourOfCurrent(bool on) {
  AnimHeader* doc = document();
  ImageBlock* frame = doc && current_ >= 0 ? ImageAt(doc, current_) : nullptr;
  if (!frame || on == !frame->trueColour.empty()) return;
  CancelAndWait(worker::kDocument);
  if (on) {
    RecordUndo(undo_kind::kAddTrueColour, *doc, nullptr, {}, current_);
    if (!ExpandToTrueColour(*frame)) {
      UndoLastAndForget(*doc);
      propertyBar_->refresh(doc, current_, false);
      return;
    }
  } else {
    // The record keeps the frame's planes, so undo brings the 24-bit data back.
    RecordUndo(undo_kind::kRemoveTrueColour, *doc, nullptr, {}, current_);
    RemoveTrueColour(*frame);
  }
  afterEdit(false, true, current_);
}

}  // namespace fw
