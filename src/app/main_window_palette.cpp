// The main window's palette editors and transparency chooser.
#include <array>

#include "app/main_window.h"
#include "core/anim_document.h"
#include "core/palette_edit.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "ui/index_chooser.h"
#include "ui/palette_editor.h"
#include "ui/property_bar.h"

namespace fw {
namespace {

// The frame asked for when it is drawn through the global palette, else the first that is.
ImageBlock* FrameShownWithGlobalPalette(AnimHeader& doc, int frameIndex) {
  ImageBlock* asked = frameIndex >= 0 ? ImageAt(&doc, frameIndex) : nullptr;
  if (asked && !asked->localPalette) return asked;
  ImageBlock* f = FirstImage(&doc);
  while (f && f->localPalette) f = NextImage(f);
  return f;
}

}  // namespace

bool MainWindow::editLocalPalette(int frameIndex) {
  AnimHeader* doc = document();
  ImageBlock* frame = doc && frameIndex >= 0 ? ImageAt(doc, frameIndex) : nullptr;
  if (!frame || !frame->localPalette) return false;
  // The workers read the pixels and palettes the editor's result replaces.
  stopWorkersAndPreview();
  std::array<int32_t, 256> usage{};
  CountIndexes(*frame, usage.data(), true);
  PaletteEditor editor({frame->localPalette.get(), frame->indexedImage.get(), &usage,
                        frame->transparent() ? frame->transparentIndex : -1},
                       this);
  if (editor.exec() != QDialog::Accepted || !editor.changed()) return false;
  return commitPaletteEdit(frameIndex, editor.entries());
}

bool MainWindow::editGlobalPalette(int frameIndex) {
  AnimHeader* doc = document();
  if (!doc || !doc->globalPalette) return false;
  stopWorkersAndPreview();
  ImageBlock* shown = FrameShownWithGlobalPalette(*doc, frameIndex);
  // Counted here rather than taken from the worker, which was just stopped mid-count.
  std::array<int32_t, 256> usage{};
  ComputeColourUsage(*doc, usage.data(), true);
  PaletteEditor editor({doc->globalPalette.get(), shown ? shown->indexedImage.get() : nullptr, &usage,
                        shown && shown->transparent() ? shown->transparentIndex : -1},
                       this);
  if (editor.exec() != QDialog::Accepted || !editor.changed()) return false;
  return commitPaletteEdit(-1, editor.entries());
}

bool MainWindow::commitPaletteEdit(int frameIndex, const std::array<Rgb, 256>& entries) {
  AnimHeader* doc = document();
  if (!doc) return false;
  ImageBlock* frame = frameIndex >= 0 ? ImageAt(doc, frameIndex) : nullptr;
  Palette* palette = frameIndex < 0 ? doc->globalPalette.get() : (frame ? frame->localPalette.get() : nullptr);
  if (!palette) return false;
  stopWorkersAndPreview();
  UndoRecord* step = RecordUndo(undo_kind::kEditPalette, *doc, nullptr, {}, frameIndex < 0 ? -1 : frameIndex);
  if (!ReplacePaletteEntries(*doc, *palette, entries)) {
    DiscardUndo(step);
    return false;
  }
  doc->encodedSize = -1;
  if (frameIndex >= 0) afterEdit(false, true, frameIndex);
  else afterEdit(false, true);
  return true;
}

bool MainWindow::chooseTransparency(int frameIndex) {
  AnimHeader* doc = document();
  ImageBlock* frame = doc && frameIndex >= 0 ? ImageAt(doc, frameIndex) : nullptr;
  if (!frame || !frame->activePalette) {
    propertyBar_->refresh(doc, current_, false);
    return false;
  }
  stopWorkersAndPreview();
  IndexChooser chooser(TransparencySubject(*frame), this);
  const bool chosen = chooser.exec() == QDialog::Accepted && chooser.changed();
  const bool applied = chosen && commitTransparencyChoice(frameIndex, chooser.chosen());
  // The bar's tick may have been set by the user before the chooser opened.
  propertyBar_->refresh(doc, current_, false);
  return applied;
}

bool MainWindow::commitTransparencyChoice(int frameIndex, const std::vector<int>& chosen) {
  AnimHeader* doc = document();
  ImageBlock* frame = doc && frameIndex >= 0 ? ImageAt(doc, frameIndex) : nullptr;
  if (!frame) return false;
  stopWorkersAndPreview();
  // Mode 2 keeps a copy of the frame: several chosen indices rewrite pixels.
  UndoRecord* step = RecordUndo(undo_kind::kEditTransparency, *doc, nullptr, {}, 2 | frameIndex << 16);
  if (!ApplyTransparencyChoice(*frame, chosen)) {
    DiscardUndo(step);
    return false;
  }
  doc->encodedSize = -1;
  afterEdit(false, true, frameIndex);
  return true;
}

}  // namespace fw
