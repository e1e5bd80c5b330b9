#include "core/undo_apply.h"

#include <algorithm>

#include "core/frame_planes.h"
#include "core/palette_edit.h"

namespace fw {
namespace {

RotationApplier& Rotation() {
  static RotationApplier applier;
  return applier;
}

// Inserts a detached chain so that its first block follows the image at index - 1, or the
// sentinel for index 0; frames without a local palette take the global one.
void InsertChainAt(AnimHeader& doc, GifBlock* first, int index) {
  if (!first) return;
  GifBlock* last = first;
  int images = 0;
  for (GifBlock* b = first;; b = b->next) {
    if (b->isImage()) {
      ++images;
      auto* f = static_cast<ImageBlock*>(b);
      if (!f->localPalette) f->activePalette = doc.globalPalette.get();
      if (f->indexedImage) SetColourTable(*f->indexedImage, f->activePalette);
    }
    last = b;
    if (!b->next) break;
  }
  GifBlock* after = index <= 0 ? doc.blockList : ImageAt(&doc, index - 1);
  if (!after) after = LastBlock(&doc);
  GifBlock* follow = after->next;
  Link(after, first);
  last->next = follow;
  if (follow) follow->prev = last;
  doc.frameCount += images;
}

// Cuts the blocks from the image at `index` through the image at index + count - 1.
GifBlock* CutFrames(AnimHeader& doc, int index, int count) {
  ImageBlock* first = ImageAt(&doc, index);
  ImageBlock* last = ImageAt(&doc, index + count - 1);
  if (!first || !last || count <= 0) return nullptr;
  GifBlock* before = first->prev;
  GifBlock* after = last->next;
  Link(before, after);
  if (!after) before->next = nullptr;
  first->prev = nullptr;
  last->next = nullptr;
  doc.frameCount -= count;
  return first;
}

Rgb UnpackRgb(int32_t v) { return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16)}; }

void ExchangeScreenSize(AnimHeader& doc, UndoRecord& r) {
  const int32_t now = (doc.screenWidth & 0xFFFF) | doc.screenHeight << 16;
  doc.screenWidth = r.screenSize & 0xFFFF;
  doc.screenHeight = static_cast<uint16_t>(static_cast<uint32_t>(r.screenSize) >> 16);
  r.screenSize = now;
}

uint32_t OneFrame(uint32_t hints, int index) { return hints | static_cast<uint32_t>(index) << 16; }

// Frames of a chain paired with the document's frames at the listed indexes.
uint32_t SwapCopies(AnimHeader& doc, UndoRecord& r, int oneFrameHint) {
  GifBlock* copy = r.blocks.head;
  bool sizeChanged = false;
  for (size_t i = 0; i < r.extra.size() && copy; ++i, copy = copy->next) {
    ImageBlock* f = ImageAt(&doc, r.extra[i]);
    if (!f || !copy->isImage()) continue;
    auto* c = static_cast<ImageBlock*>(copy);
    sizeChanged |= f->width != c->width || f->height != c->height;
    SwapImageContent(*f, *c);
  }
  uint32_t hints = r.extra.size() == 1 ? OneFrame(static_cast<uint32_t>(oneFrameHint), r.extra[0]) : undo_hint::kDocument;
  if (sizeChanged) hints |= undo_hint::kPixels;
  return hints;
}

void SwapPropertiesWithShells(AnimHeader& doc, AnimHeader& shells) {
  ImageBlock* s = FirstImage(&shells);
  for (ImageBlock* f = FirstImage(&doc); f && s; f = NextImage(f), s = NextImage(s))
    SwapFrameProperties(*f, *s, true, true);
}

}  // namespace

void SetRotationApplier(RotationApplier applier) { Rotation() = std::move(applier); }

void ExchangeDocuments(AnimHeader& a, AnimHeader& b) {
  std::swap(a.screenWidth, b.screenWidth);
  std::swap(a.screenHeight, b.screenHeight);
  std::swap(a.playCount, b.playCount);
  std::swap(a.frameCount, b.frameCount);
  std::swap(a.hideFirstFrame, b.hideFirstFrame);
  std::swap(a.blockList, b.blockList);
  std::swap(a.selectionAnchor, b.selectionAnchor);
  std::swap(a.selectedCount, b.selectedCount);
  std::swap(a.globalPalette, b.globalPalette);
  std::swap(a.screenFlags, b.screenFlags);
  std::swap(a.backgroundIndex, b.backgroundIndex);
  std::swap(a.aspectByte, b.aspectByte);
  std::swap(a.encodedSize, b.encodedSize);
  std::swap(a.colourUsage, b.colourUsage);
  std::swap(a.nextInChain, b.nextInChain);
}

void MoveFrameToIndex(AnimHeader& doc, int from, int to) {
  ImageBlock* f = ImageAt(&doc, from);
  if (!f || from == to) return;
  BlockPtr frame = DetachBlock(f);
  --doc.frameCount;
  InsertChainAt(doc, frame.release(), to);
}

uint32_t ApplyUndoRecord(AnimHeader& doc, UndoRecord& r, bool redo) {
  using namespace undo_kind;
  using namespace undo_hint;
  if (r.wholeDocument && r.snapshot) {
    ExchangeDocuments(doc, *r.snapshot);
    return kDocument | kFrameCount | kOrder | kPixels | kScreenSize;
  }
  switch (r.kind) {
    case kMoveFrame: {
      const int former = r.low(), target = r.high();
      const int landed = target > former ? target - 1 : target;
      if (redo) MoveFrameToIndex(doc, former, landed);
      else MoveFrameToIndex(doc, landed, former);
      return kDocument | kOrder;
    }
    case kDeleteFrame:
      if (redo) {
        ImageBlock* f = ImageAt(&doc, r.value);
        if (f) {
          r.blocks = BlockChain(DetachBlock(f).release());
          --doc.frameCount;
        }
      } else {
        InsertChainAt(doc, r.blocks.release(), r.value);
      }
      return kDocument | kFrameCount | kPixels;
    case kInsertFrames:
    case kPaste:
      if (r.snapshot) {
        ExchangeDocuments(doc, *r.snapshot);
        return kDocument | kFrameCount | kScreenSize;
      }
      if (redo) InsertChainAt(doc, r.blocks.release(), r.low());
      else r.blocks = BlockChain(CutFrames(doc, r.low(), r.high()));
      return kDocument | kFrameCount | kPixels;
    case kOptimize:
    case kSaveForSize:
    case kBlend: {
      const int frames = doc.frameCount;
      const int width = doc.screenWidth, height = doc.screenHeight;
      if (r.snapshot) ExchangeDocuments(doc, *r.snapshot);
      uint32_t hints = kDocument;
      if (doc.frameCount != frames) hints |= kFrameCount;
      if (r.kind == kBlend && (doc.screenWidth != width || doc.screenHeight != height)) hints |= kScreenSize;
      return hints;
    }
    case kUnoptimize:
    case kReducePalette:
    case kFixAvi:
      if (r.snapshot) ExchangeDocuments(doc, *r.snapshot);
      return kDocument;
    case kCropAnimation:
    case kNormalize:
      if (r.snapshot) ExchangeDocuments(doc, *r.snapshot);
      return kDocument | kScreenSize;
    case kEditAllTransparency:
      if (r.snapshot) ExchangeDocuments(doc, *r.snapshot);
      return kDocument | kPixels;
    case kReduceFrames:
    case kBounce:
    case kLiveEdit:
      if (r.snapshot) ExchangeDocuments(doc, *r.snapshot);
      return kDocument | kFrameCount | kPixels;
    case kCropMoveFrames:
      return SwapCopies(doc, r, kOneFrame);
    case kIncreaseCanvas: {
      const uint32_t hints = SwapCopies(doc, r, kDocument | kScreenSize);
      ExchangeScreenSize(doc, r);
      return hints;
    }
    case kRotateFrame: {
      int command = r.low();
      // Quarter turns undo each other; the half turn and the mirrorings undo themselves.
      if (!redo && (command == 40073 || command == 40075)) command = command == 40073 ? 40075 : 40073;
      if (Rotation()) Rotation()(doc, command, r.high());
      const int32_t now = (doc.screenWidth & 0xFFFF) | doc.screenHeight << 16;
      if (now != r.screenSize) {
        ExchangeScreenSize(doc, r);
        return OneFrame(kDocument | kScreenSize | kPixels, r.high());
      }
      return OneFrame(kOneFrame | kPixels, r.high());
    }
    case kRotateAll: {
      int command = r.value >= 40104 ? r.value - 31 : r.value;
      if (!redo && (command == 40073 || command == 40075)) command = command == 40073 ? 40075 : 40073;
      if (Rotation()) Rotation()(doc, command, -1);
      return kDocument | kScreenSize | kPixels;
    }
    case kEditTransparency: {
      ImageBlock* f = ImageAt(&doc, r.high());
      const int mode = r.low();
      if (f && mode >= 2 && r.blocks.head) {
        SwapPixelContent(*f, *static_cast<ImageBlock*>(r.blocks.head));
        return OneFrame(kOneFrame | kCurrentProperties | kPixels, r.high());
      }
      if (f) SetTransparency(*f, mode == 0);
      r.value = (r.value & ~0xFFFF) | (mode == 0 ? 1 : 0);
      return OneFrame(kOneFrame | kCurrentProperties, r.high());
    }
    case kEditPalette: {
      ImageBlock* frame = r.value == -1 ? nullptr : ImageAt(&doc, r.value);
      Palette* p = r.value == -1 ? doc.globalPalette.get() : (frame ? frame->activePalette : nullptr);
      if (p && r.extra.size() >= 256) {
        for (int i = 0; i < p->count(); ++i) {
          const Rgb stored = UnpackRgb(r.extra[static_cast<size_t>(i)]);
          const Rgb now = (*p)[i];
          p->writeEntries(i, 1, &stored);
          r.extra[static_cast<size_t>(i)] = now.r | now.g << 8 | now.b << 16;
        }
        RefreshPaletteUsers(doc, p);
      }
      return r.value == -1 ? kDocument : OneFrame(kOneFrame, r.value);
    }
    case kDeleteLocalPalette: {
      if (r.snapshot) {
        ExchangeDocuments(doc, *r.snapshot);
        return kDocument | kPixels;
      }
      ImageBlock* f = ImageAt(&doc, r.value);
      if (f && r.blocks.head) {
        SwapPixelContent(*f, *static_cast<ImageBlock*>(r.blocks.head));
        // The descriptor's table bits follow the palette that came back (or went away).
        std::unique_ptr<Palette> local = std::move(f->localPalette);
        SetLocalPalette(*f, std::move(local));
        if (!f->localPalette) f->activePalette = doc.globalPalette.get();
        if (f->indexedImage) SetColourTable(*f->indexedImage, f->activePalette);
      }
      return OneFrame(kOneFrame | kCurrentProperties | kPixels, r.value);
    }
    case kReorder:
      ReverseBlocks(doc);
      return kDocument | kOrder;
    case kNop:
      return kNothing;
    case kDeleteFrames: {
      if (redo) {
        int n = 0;
        for (UndoRecord* c = &r; c; c = c->child.get(), ++n) {
          ImageBlock* f = ImageAt(&doc, c->value - n);
          if (!f) continue;
          c->blocks = BlockChain(DetachBlock(f).release());
          --doc.frameCount;
        }
      } else {
        for (UndoRecord* c = &r; c; c = c->child.get()) InsertChainAt(doc, c->blocks.release(), c->value);
      }
      return kDocument | kFrameCount | kPixels;
    }
    case kEditTiming: {
      size_t i = 0;
      for (ImageBlock* f = FirstImage(&doc); f && i < r.extra.size(); f = NextImage(f), ++i)
        std::swap(f->delay, r.extra[i]);
      return kDelays | kCurrentProperties;
    }
    case kMoveFrames: {
      const int target = r.low(), count = r.high();
      const int before = static_cast<int>(std::count_if(r.extra.begin(), r.extra.end(), [&](int32_t i) { return i < target; }));
      const int groupStart = target - before;
      if (redo) {
        // Gather the frames (highest index first so earlier indexes stay valid), keep their order.
        GifBlock* chain = nullptr;
        for (auto it = r.extra.rbegin(); it != r.extra.rend(); ++it) {
          ImageBlock* f = ImageAt(&doc, *it);
          if (!f) continue;
          GifBlock* b = DetachBlock(f).release();
          --doc.frameCount;
          b->next = chain;
          if (chain) chain->prev = b;
          chain = b;
        }
        InsertChainAt(doc, chain, groupStart);
      } else {
        GifBlock* group = CutFrames(doc, groupStart, count);
        std::vector<GifBlock*> frames;
        for (GifBlock* b = group; b; b = b->next) frames.push_back(b);
        for (size_t i = 0; i < frames.size(); ++i) {
          frames[i]->next = frames[i]->prev = nullptr;
          InsertChainAt(doc, frames[i], i < r.extra.size() ? r.extra[i] : doc.frameCount);
        }
      }
      return kDocument | kOrder;
    }
    case kEditPixels:
    case kEditFramesTogether:
    case kRemoveTrueColour: {
      ImageBlock* f = ImageAt(&doc, r.value);
      if (f && r.blocks.head) SwapPixelContent(*f, *static_cast<ImageBlock*>(r.blocks.head));
      const uint32_t base = r.kind == kRemoveTrueColour ? kOneFrame | kCurrentProperties : kOneFrame | kPixels;
      return OneFrame(base, r.value);
    }
    case kFrameProperties: {
      ImageBlock* f = ImageAt(&doc, r.high());
      auto* copy = static_cast<ImageBlock*>(r.blocks.head);
      if (f && copy) {
        if (r.low() == 1) {
          SwapPixelContent(*f, *copy);
          SwapFrameProperties(*f, *copy, false, false);
        } else {
          SwapFrameProperties(*f, *copy, true, true);
        }
      }
      return OneFrame(kOneFrame | kCurrentProperties | kPixels, r.high());
    }
    case kAllFrameProperties:
    case kGlobalFrameProperties:
      if (!r.snapshot) return kNothing;
      if (r.value == 1) {
        ExchangeDocuments(doc, *r.snapshot);
        return kDocument | kPixels;
      }
      SwapPropertiesWithShells(doc, *r.snapshot);
      return kDocument;
    case kAddTrueColour: {
      ImageBlock* f = ImageAt(&doc, r.value);
      if (f) {
        if (redo) ExpandToTrueColour(*f);
        else RemoveTrueColour(*f);
      }
      return OneFrame(kOneFrame | kCurrentProperties, r.value);
    }
    default:
      return kNothing;
  }
}

}  // namespace fw
