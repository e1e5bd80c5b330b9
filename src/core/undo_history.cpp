// Recording undo steps: the history list, the levels limit and memory pressure.
#include "core/undo_history.h"

#include "core/undo_apply.h"

#include <new>

#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/string_table.h"

namespace fw {

BlockChain& BlockChain::operator=(BlockChain&& o) noexcept {
  if (this != &o) {
    BlockChain old(release());
    head = o.release();
  }
  return *this;
}

BlockChain::~BlockChain() {
  while (head) {
    GifBlock* next = head->next;
    delete head;
    head = next;
  }
}

namespace {

struct History {
  UndoRecord* oldest = nullptr;
  UndoRecord* current = nullptr;
  int count = 0;
  bool warned = false;
  std::function<bool()> copyFails;
};

History& H() {
  static History h;
  return h;
}

void Unlink(UndoRecord* r) {
  History& h = H();
  if (r->older) r->older->newer = r->newer;
  if (r->newer) r->newer->older = r->older;
  if (h.oldest == r) h.oldest = r->newer;
  if (h.current == r) h.current = r->older;
  r->newer = r->older = nullptr;
  --h.count;
}

void ReleaseLinked(UndoRecord* r) {
  Unlink(r);
  delete r;
}

bool DropOldest() {
  History& h = H();
  if (!h.oldest) return false;
  UndoRecord* r = h.oldest;
  // The current record going means nothing is left to undo before the newer ones.
  if (h.current == r) h.current = nullptr;
  ReleaseLinked(r);
  return true;
}

void DiscardRedo() {
  History& h = H();
  UndoRecord* r = h.current ? h.current->newer : h.oldest;
  while (r) {
    UndoRecord* next = r->newer;
    ReleaseLinked(r);
    r = next;
  }
}

// Makes a copy, giving up the oldest records while memory is short.
template <typename Make>
auto CopyUnderPressure(Make make) -> decltype(make()) {
  History& h = H();
  for (;;) {
    decltype(make()) copy{};
    if (!(h.copyFails && h.copyFails())) {
      try {
        copy = make();
      } catch (const std::bad_alloc&) {
      }
    }
    if (copy) return copy;
    if (!h.warned) {
      h.warned = true;
      Messages().ask(40281, MessageText(40281), MessageText(40282), Buttons::Ok, Answer::Ok);
    }
    if (!DropOldest()) return {};
  }
}

int32_t PackRgb(Rgb c) { return c.r | c.g << 8 | c.b << 16; }

// Captures what the kind keeps and the caller did not supply. False when a copy failed.
bool Capture(UndoRecord& r, AnimHeader& doc) {
  using namespace undo_kind;
  const int k = r.kind;
  auto frameCopy = [&](int index) -> bool {
    ImageBlock* f = ImageAt(&doc, index);
    if (!f) return false;
    ImagePtr c = CopyUnderPressure([&] { return CopyImage(*f, f->activePalette); });
    if (!c) return false;
    r.blocks = BlockChain(c.release());
    return true;
  };
  auto shellCopy = [&](int index) -> bool {
    ImageBlock* f = ImageAt(&doc, index);
    if (!f) return false;
    ImagePtr c = CopyUnderPressure([&] { return CopyFrameShell(*f); });
    if (!c) return false;
    r.blocks = BlockChain(c.release());
    return true;
  };

  if (!r.snapshot) {
    const bool whole = k == kUnoptimize || k == kCropAnimation || k == kEditAllTransparency || k == kReduceFrames ||
                       k == kNormalize || k == kBlend || k == kBounce || k == kFixAvi || k == kLiveEdit ||
                       ((k == kAllFrameProperties || k == kGlobalFrameProperties) && r.value == 1);
    if (whole) {
      r.snapshot = CopyUnderPressure([&] { return CopyAnimation(doc, nullptr); });
      if (!r.snapshot) return false;
    } else if (k == kAllFrameProperties || k == kGlobalFrameProperties) {
      r.snapshot = CopyUnderPressure([&] { return CopyAnimationShell(doc); });
      if (!r.snapshot) return false;
    }
  }
  if (!r.blocks.head) {
    if ((k == kEditTransparency && r.low() >= 2) || (k == kFrameProperties && r.low() == 1))
      return frameCopy(r.high());
    if (k == kEditPixels || k == kEditFramesTogether || k == kRemoveTrueColour) return frameCopy(r.value);
    if (k == kFrameProperties) return shellCopy(r.high());
  }
  if (k == kCropMoveFrames || k == kIncreaseCanvas) {
    GifBlock* head = nullptr;
    GifBlock* tail = nullptr;
    BlockChain chain;
    int index = 0;
    for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f), ++index) {
      if (!f->selected) continue;
      ImagePtr c = CopyUnderPressure([&] { return CopyImage(*f, f->activePalette); });
      if (!c) return false;
      GifBlock* raw = c.release();
      if (!head) {
        head = raw;
        chain = BlockChain(head);
      } else {
        tail->next = raw;
      }
      tail = raw;
      r.extra.push_back(index);
    }
    r.blocks = std::move(chain);
    r.value = static_cast<int32_t>(r.extra.size());
  }
  if (k == kRotateFrame || k == kIncreaseCanvas) r.screenSize = (doc.screenWidth & 0xFFFF) | doc.screenHeight << 16;
  if (k == kEditPalette && r.extra.empty()) {
    const Palette* p = r.value == -1 ? doc.globalPalette.get()
                                     : (ImageAt(&doc, r.value) ? ImageAt(&doc, r.value)->activePalette : nullptr);
    r.extra.assign(256, 0);
    if (p)
      for (int i = 0; i < p->count(); ++i) r.extra[static_cast<size_t>(i)] = PackRgb((*p)[i]);
  }
  if (k == kEditTiming && r.extra.empty())
    for (ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) r.extra.push_back(f->delay);
  return true;
}

// Frames deleted together become one record per frame, linked through `child`.
void SplitDeletedFrames(UndoRecord& r) {
  GifBlock* b = r.blocks.release();
  UndoRecord* at = &r;
  bool first = true;
  while (b) {
    GifBlock* next = b->next;
    b->next = b->prev = nullptr;
    UndoRecord* holder = at;
    if (!first) {
      at->child = std::make_unique<UndoRecord>();
      holder = at->child.get();
      holder->kind = r.kind;
      at = holder;
    }
    holder->blocks = BlockChain(b);
    holder->value = b->isImage() ? static_cast<ImageBlock*>(b)->formerIndex : 0;
    first = false;
    b = next;
  }
}

}  // namespace

void SetUndoCopyFailureHook(std::function<bool()> fails) { H().copyFails = std::move(fails); }

UndoRecord* RecordUndo(int kind, AnimHeader& document, AnimPtr snapshot, BlockChain blocks, int32_t value,
                       std::vector<int32_t> extra) {
  History& h = H();
  DiscardRedo();
  const int levels = static_cast<int>(Prefs().read(pref::kUndoLevels));
  if (levels <= 0) return nullptr;
  while (h.count + 1 > levels && DropOldest()) {
  }
  UndoPtr r;
  try {
    r = std::make_unique<UndoRecord>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  r->kind = kind;
  r->snapshot = std::move(snapshot);
  r->blocks = std::move(blocks);
  r->value = value;
  r->extra = std::move(extra);
  try {
    if (!Capture(*r, document)) return nullptr;
    if (kind == undo_kind::kDeleteFrames) SplitDeletedFrames(*r);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  UndoRecord* raw = r.release();
  // Dropping records for memory may have emptied the history meanwhile.
  UndoRecord* after = h.current;
  if (after) {
    raw->older = after;
    raw->newer = after->newer;
    after->newer = raw;
  } else {
    raw->newer = h.oldest;
    if (h.oldest) h.oldest->older = raw;
    h.oldest = raw;
  }
  h.current = raw;
  ++h.count;
  return raw;
}

UndoPtr PrepareUndo(int kind, AnimHeader& document, int32_t value) {
  if (Prefs().read(pref::kUndoLevels) == 0) return nullptr;
  auto r = std::make_unique<UndoRecord>();
  r->kind = kind;
  r->value = value;
  r->snapshot = CopyUnderPressure([&] { return CopyAnimation(document, nullptr); });
  if (!r->snapshot) return nullptr;
  return r;
}

static bool SamePaletteAndScreen(const AnimHeader& a, const AnimHeader& b) {
  const bool samePalette = (!a.globalPalette && !b.globalPalette) ||
                           (a.globalPalette && b.globalPalette && a.globalPalette->sameEntries(*b.globalPalette));
  return samePalette && a.screenWidth == b.screenWidth && a.screenHeight == b.screenHeight;
}

UndoRecord* CommitUndoInsert(UndoPtr pending, AnimHeader& document) {
  if (!pending) return nullptr;
  AnimPtr snapshot = std::move(pending->snapshot);
  int32_t value = pending->value;
  if (SamePaletteAndScreen(document, *snapshot)) {
    const int added = document.frameCount - snapshot->frameCount;
    value = added * 65536 + (pending->value & 0xFFFF);
    snapshot.reset();
  }
  return RecordUndo(pending->kind, document, std::move(snapshot), {}, value);
}

UndoRecord* CommitUndoLocalPalette(UndoPtr pending, AnimHeader& document) {
  if (!pending) return nullptr;
  AnimPtr snapshot = std::move(pending->snapshot);
  BlockChain frame;
  const bool sameGlobal = (!document.globalPalette && !snapshot->globalPalette) ||
                          (document.globalPalette && snapshot->globalPalette &&
                           document.globalPalette->sameEntries(*snapshot->globalPalette));
  if (sameGlobal) {
    ImageBlock* f = ImageAt(snapshot.get(), pending->value);
    if (f) {
      BlockPtr cut = DetachBlock(f);
      frame = BlockChain(cut.release());
      snapshot.reset();
    }
  }
  return RecordUndo(pending->kind, document, std::move(snapshot), std::move(frame), pending->value);
}

void DiscardUndo(UndoRecord* record) {
  if (!record) return;
  History& h = H();
  for (UndoRecord* r = h.oldest; r; r = r->newer) {
    if (r == record) {
      ReleaseLinked(r);
      return;
    }
  }
  delete record;
}

void DiscardUndo(UndoPtr pending) { pending.reset(); }

void MakeUndoNop(UndoRecord* record) {
  if (!record || record != H().current) return;
  record->snapshot.reset();
  record->blocks = BlockChain();
  record->extra.clear();
  record->child.reset();
  record->kind = undo_kind::kNop;
}

UndoRecord* CurrentUndoRecord() { return H().current; }

void WidenUndoToDocument(UndoRecord* record, AnimPtr before) {
  if (!record || !before) return;
  record->blocks = BlockChain();
  record->extra.clear();
  record->child.reset();
  record->snapshot = std::move(before);
  record->wholeDocument = true;
}

void ClearUndo() {
  History& h = H();
  while (DropOldest()) {
  }
  h.current = nullptr;
  h.warned = false;
}

int CurrentUndoKind() { return H().current ? H().current->kind : 0; }

int NextRedoKind() {
  const History& h = H();
  const UndoRecord* next = h.current ? h.current->newer : h.oldest;
  return next ? next->kind : 0;
}

int UndoCount() { return H().count; }

uint32_t ApplyUndo(AnimHeader& document, bool redo) {
  History& h = H();
  if (redo) {
    UndoRecord* next = h.current ? h.current->newer : h.oldest;
    if (!next) return undo_hint::kNothing;
    h.current = next;
    return ApplyUndoRecord(document, *next, true);
  }
  UndoRecord* r = h.current;
  if (!r) return undo_hint::kNothing;
  const uint32_t hints = ApplyUndoRecord(document, *r, false);
  h.current = r->older;
  return hints;
}

void UndoLastAndForget(AnimHeader& document) {
  UndoRecord* r = H().current;
  if (!r) return;
  ApplyUndoRecord(document, *r, false);
  ReleaseLinked(r);
}

static std::string KindName(int kind) {
  static const int kNames[] = {0,     40258, 40259, 40260, 40261, 40262, 40263, 0,     0,     40266,
                               40267, 40268, 40269, 40270, 40271, 40272, 40273, 40274, 0,     40276,
                               40277, 40278, 40279, 40259, 40296, 40258, 40299, 40336, 40352, 40346,
                               40348, 40349, 40350, 40351, 40364, 40365, 40369, 40406};
  if (kind == undo_kind::kLiveEdit) {
    // The live-edit menu text without its trailing dots.
    std::string text = MessageText(40363);
    while (!text.empty() && text.back() == '.') text.pop_back();
    return text;
  }
  if (kind < 1 || kind > undo_kind::kSaveForSize || !kNames[kind]) return {};
  const char* text = MessageText(kNames[kind]);
  return text ? text : "";
}

UndoMenu UndoMenuTexts() {
  UndoMenu m;
  const int undo = CurrentUndoKind();
  const int redo = NextRedoKind();
  m.undoEnabled = undo != 0;
  m.redoEnabled = redo != 0;
  m.undoText = undo ? FormatText("撤消 %s(&U)\tCtrl+Z", KindName(undo).c_str()) : "取消 撤消(&U)\tCtrl+Z";
  m.redoText = redo ? FormatText("恢复%s(&R)\tCtrl+Y", KindName(redo).c_str()) : "取消 恢复(&R)\tCtrl+Y";
  return m;
}

}  // namespace fw
