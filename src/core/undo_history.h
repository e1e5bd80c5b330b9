#pragma once
// The undo history: one linear list of records with a current position. Applying a record
// exchanges what it holds with the document, so the same record serves Undo and Redo.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/anim_document.h"

namespace fw {

namespace undo_kind {
inline constexpr int kMoveFrame = 1, kDeleteFrame = 2, kInsertFrames = 3, kOptimize = 4, kUnoptimize = 5,
                     kReducePalette = 6, kCropMoveFrames = 9, kCropAnimation = 10, kRotateFrame = 11,
                     kRotateAll = 12, kEditTransparency = 13, kEditAllTransparency = 14, kEditPalette = 15,
                     kDeleteLocalPalette = 16, kReorder = 17, kReduceFrames = 19, kNormalize = 20, kPaste = 21,
                     kNop = 22, kDeleteFrames = 23, kEditTiming = 24, kMoveFrames = 25, kBlend = 26,
                     kBounce = 27, kEditPixels = 28, kEditFramesTogether = 29, kRemoveTrueColour = 30,
                     kFrameProperties = 31, kAllFrameProperties = 32, kGlobalFrameProperties = 33, kFixAvi = 34,
                     kAddTrueColour = 35, kIncreaseCanvas = 36,
                     kSaveForSize = 37;
// A reload from the external image editor: the whole document before it, value = the frame
// edited (-1 for the whole animation).
inline constexpr int kLiveEdit = 7;
}  // namespace undo_kind

// What the shell must refresh after a record was applied (frame index in the high half
// where kOneFrame is set).
namespace undo_hint {
inline constexpr uint32_t kDocument = 1, kFrameCount = 2, kScreenSize = 4, kPixels = 8, kOrder = 16,
                          kOneFrame = 32, kCurrentProperties = 64, kNothing = 128, kDelays = 512;
}

// A chain of detached blocks linked through `next`, freed together.
struct BlockChain {
  BlockChain() = default;
  explicit BlockChain(GifBlock* h) : head(h) {}
  BlockChain(BlockChain&& o) noexcept : head(o.head) { o.head = nullptr; }
  BlockChain& operator=(BlockChain&& o) noexcept;
  ~BlockChain();
  GifBlock* release() {
    GifBlock* h = head;
    head = nullptr;
    return h;
  }
  GifBlock* head = nullptr;
};

struct UndoRecord {
  int kind = 0;
  AnimPtr snapshot;
  BlockChain blocks;
  int32_t value = 0;
  int32_t screenSize = 0;  // width | height << 16
  std::vector<int32_t> extra;  // palette entries, frame indexes or delays
  std::unique_ptr<UndoRecord> child;
  // Set when the step was widened to the whole document: applying it exchanges `snapshot`
  // with the document whatever the kind.
  bool wholeDocument = false;
  UndoRecord* newer = nullptr;
  UndoRecord* older = nullptr;

  int low() const { return static_cast<uint16_t>(value); }
  int high() const { return static_cast<uint16_t>(static_cast<uint32_t>(value) >> 16); }
};
using UndoPtr = std::unique_ptr<UndoRecord>;

// Operations that arrive with later layers (rotations and flips of Part "whole-animation
// transforms"): applied through this hook. `command` is a frame transform code; -1 frame
// means every frame.
using RotationApplier = std::function<void(AnimHeader& document, int command, int frameIndex)>;
void SetRotationApplier(RotationApplier applier);

struct UndoMenu {
  std::string undoText, redoText;
  bool undoEnabled = false, redoEnabled = false;
};

// Records a step; the caller then performs the operation and discards the record if it fails.
// `snapshot` and `blocks` are taken over. nullptr when undo is off or memory ran out.
UndoRecord* RecordUndo(int kind, AnimHeader& document, AnimPtr snapshot, BlockChain blocks, int32_t value,
                       std::vector<int32_t> extra = {});
// A pending record holding a full copy of the document, not yet in the history.
UndoPtr PrepareUndo(int kind, AnimHeader& document, int32_t value);
UndoRecord* CommitUndoInsert(UndoPtr pending, AnimHeader& document);
UndoRecord* CommitUndoLocalPalette(UndoPtr pending, AnimHeader& document);
void DiscardUndo(UndoRecord* record);
void DiscardUndo(UndoPtr pending);
void MakeUndoNop(UndoRecord* record);
// The record Undo would apply next, or nullptr.
UndoRecord* CurrentUndoRecord();
// Makes the record hold `before` (the whole document as it was before the step) instead of
// what its kind keeps: for an edit that had to change more than its kind describes.
void WidenUndoToDocument(UndoRecord* record, AnimPtr before);
// Applies the current record (Undo) or the next one (Redo); returns the update hints.
uint32_t ApplyUndo(AnimHeader& document, bool redo);
void UndoLastAndForget(AnimHeader& document);
void ClearUndo();
UndoMenu UndoMenuTexts();
int CurrentUndoKind();
int NextRedoKind();
int UndoCount();

// Exchanges the complete contents of two documents, so pointers to either stay valid.
void ExchangeDocuments(AnimHeader& a, AnimHeader& b);
// Moves the frame at `from` so that it ends at index `to`.
void MoveFrameToIndex(AnimHeader& document, int from, int to);

// Tests simulate memory pressure: the hook is asked before every copy a record makes and
// answers whether that copy fails.
void SetUndoCopyFailureHook(std::function<bool()> fails);

}  // namespace fw
