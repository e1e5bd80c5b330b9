#include "imaging/frame_property_edits.h"

#include "core/frame_planes.h"
#include "core/palette_edit.h"
#include "core/undo_history.h"
#include "imaging/palette_merge.h"

namespace fw {
namespace {

template <typename T, typename Read>
std::optional<T> Shared(const std::vector<ImageBlock*>& frames, Read read) {
  if (frames.empty()) return std::nullopt;
  const T first = read(*frames.front());
  for (const ImageBlock* f : frames)
    if (read(*f) != first) return std::nullopt;
  return first;
}

template <typename T>
bool Differs(const std::optional<T>& edit, const T& value) {
  return edit && *edit != value;
}

bool ChangesTransparency(const ImageBlock& f, const FrameFields& e) {
  if (e.chosenTransparency) {
    const std::vector<int>& c = *e.chosenTransparency;
    if (c.empty()) return f.transparent();
    return c.size() > 1 || !f.transparent() || f.transparentIndex != c.front();
  }
  return Differs(e.transparent, f.transparent());
}

bool ChangesLocalPalette(const ImageBlock& f, const FrameFields& e) {
  return Differs(e.localPalette, static_cast<bool>(f.localPalette)) && (f.localPalette || f.activePalette);
}

bool ChangesTrueColour(const ImageBlock& f, const FrameFields& e) {
  return Differs(e.trueColour, f.hasTrueColour()) && (f.hasTrueColour() || f.indexedImage);
}

bool FrameChanges(const ImageBlock& f, const FrameFields& e) {
  return Differs(e.name, FrameName(f)) || Differs(e.delay, static_cast<int>(f.delay)) ||
         Differs(e.disposal, f.disposal()) || Differs(e.left, static_cast<int>(f.left)) ||
         Differs(e.top, static_cast<int>(f.top)) || Differs(e.interlaced, f.interlaced()) ||
         Differs(e.userInput, UserInput(f)) || Differs(e.blend, f.blend != 0) || ChangesTransparency(f, e) ||
         ChangesLocalPalette(f, e) || ChangesTrueColour(f, e);
}

// The light shell keeps only names, delays, disposal, interlacing, offsets and the
// transparency flag; every other change needs the frame's full copy to come back.
bool ShellCannotRestore(const ImageBlock& f, const FrameFields& e) {
  return e.chosenTransparency.has_value() || ChangesLocalPalette(f, e) || ChangesTrueColour(f, e) ||
         Differs(e.userInput, UserInput(f)) || Differs(e.blend, f.blend != 0);
}

bool RemovesLocalPalette(const ImageBlock& f, const FrameFields& e) {
  return e.localPalette == false && f.localPalette;
}

void ApplyToFrame(ImageBlock& f, const FrameFields& e, Palette* globalPalette, FrameEditResult& result) {
  if (e.localPalette == true && !f.localPalette) {
    const Palette* source = f.activePalette ? f.activePalette : globalPalette;
    if (source) {
      SetLocalPalette(f, source->copy());
      result.pixels = true;
    }
  }
  if (e.name && *e.name != FrameName(f)) SetFrameName(f, e.name->c_str());
  if (e.interlaced) SetInterlaced(f, *e.interlaced);
  if (e.blend) f.blend = *e.blend ? 1 : 0;
  if ((e.left && *e.left != f.left) || (e.top && *e.top != f.top)) {
    f.left = e.left.value_or(f.left);
    f.top = e.top.value_or(f.top);
    result.offsets = true;
  }
  if (e.disposal) SetDisposal(f, *e.disposal);
  if (e.delay && *e.delay != f.delay) {
    f.delay = *e.delay;
    result.delays = true;
  }
  if (e.userInput) SetUserInput(f, *e.userInput);
  if (ChangesTrueColour(f, e)) {
    if (*e.trueColour) ExpandToTrueColour(f);
    else RemoveTrueColour(f);
    result.pixels = true;
  }
  if (e.chosenTransparency) {
    if (ApplyTransparencyChoice(f, *e.chosenTransparency)) result.pixels = true;
  } else if (e.transparent && *e.transparent != f.transparent()) {
    SetTransparency(f, *e.transparent);
    result.pixels = true;
  }
}

}  // namespace

FrameFields SharedFrameFields(const std::vector<ImageBlock*>& frames) {
  FrameFields s;
  s.name = Shared<std::string>(frames, [](const ImageBlock& f) { return FrameName(f); });
  s.delay = Shared<int>(frames, [](const ImageBlock& f) { return static_cast<int>(f.delay); });
  s.disposal = Shared<int>(frames, [](const ImageBlock& f) { return f.disposal(); });
  s.left = Shared<int>(frames, [](const ImageBlock& f) { return static_cast<int>(f.left); });
  s.top = Shared<int>(frames, [](const ImageBlock& f) { return static_cast<int>(f.top); });
  s.transparent = Shared<bool>(frames, [](const ImageBlock& f) { return f.transparent(); });
  s.interlaced = Shared<bool>(frames, [](const ImageBlock& f) { return f.interlaced(); });
  s.userInput = Shared<bool>(frames, [](const ImageBlock& f) { return UserInput(f); });
  s.localPalette = Shared<bool>(frames, [](const ImageBlock& f) { return static_cast<bool>(f.localPalette); });
  s.trueColour = Shared<bool>(frames, [](const ImageBlock& f) { return f.hasTrueColour(); });
  s.blend = Shared<bool>(frames, [](const ImageBlock& f) { return f.blend != 0; });
  return s;
}

std::vector<ImageBlock*> CurrentFrameOnly(AnimHeader& document, int current) {
  ImageBlock* f = current >= 0 ? ImageAt(&document, current) : nullptr;
  return f ? std::vector<ImageBlock*>{f} : std::vector<ImageBlock*>{};
}

std::vector<ImageBlock*> SelectedFrames(AnimHeader& document) {
  std::vector<ImageBlock*> out;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->selected) out.push_back(f);
  return out;
}

std::vector<ImageBlock*> AllFrames(AnimHeader& document) {
  std::vector<ImageBlock*> out;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) out.push_back(f);
  return out;
}

bool EditsChangeFrames(const std::vector<ImageBlock*>& frames, const FrameFields& edits) {
  for (const ImageBlock* f : frames)
    if (FrameChanges(*f, edits)) return true;
  return false;
}

FrameEditResult ApplyFrameEdits(AnimHeader& document, FrameScope scope, int current, const FrameFields& edits) {
  FrameEditResult result;
  const std::vector<ImageBlock*> frames = scope == FrameScope::kCurrent    ? CurrentFrameOnly(document, current)
                                          : scope == FrameScope::kSelected ? SelectedFrames(document)
                                                                           : AllFrames(document);
  if (!EditsChangeFrames(frames, edits)) return result;

  bool removesPalette = false, full = false;
  for (const ImageBlock* f : frames) {
    removesPalette = removesPalette || RemovesLocalPalette(*f, edits);
    full = full || ShellCannotRestore(*f, edits);
  }
  // Folding a local palette may merge colours into the global palette and remap other frames,
  // which only a copy of the whole document restores.
  UndoRecord* step = nullptr;
  if (scope == FrameScope::kCurrent && !removesPalette)
    step = RecordUndo(undo_kind::kFrameProperties, document, nullptr, {}, (full ? 1 : 0) | current << 16);
  else
    step = RecordUndo(scope == FrameScope::kAll ? undo_kind::kGlobalFrameProperties : undo_kind::kAllFrameProperties,
                      document, nullptr, {}, full || removesPalette ? 1 : 0);

  for (ImageBlock* f : frames) {
    if (!RemovesLocalPalette(*f, edits)) continue;
    if (!FoldLocalPalette(document, *f)) {
      FrameEditResult failed;
      if (step) {
        UndoLastAndForget(document);
        failed.restored = true;
      }
      return failed;
    }
    result.pixels = true;
  }
  for (ImageBlock* f : frames) ApplyToFrame(*f, edits, document.globalPalette.get(), result);
  result.changed = true;
  document.encodedSize = -1;
  return result;
}

AnimationEditResult ApplyAnimationEdits(AnimHeader& document, const AnimationFields& e) {
  AnimationEditResult result;
  const bool size = (e.screenWidth && *e.screenWidth != document.screenWidth) ||
                    (e.screenHeight && *e.screenHeight != document.screenHeight);
  const bool other = Differs(e.loopCount, static_cast<int>(document.playCount)) ||
                     Differs(e.backgroundIndex, static_cast<int>(document.backgroundIndex)) ||
                     Differs(e.hideFirstFrame, document.hideFirstFrame != 0);
  if (!size && !other) return result;
  RecordUndo(undo_kind::kAllFrameProperties, document, nullptr, {}, 1);
  if (e.loopCount) document.playCount = *e.loopCount;
  if (size) {
    document.screenWidth = e.screenWidth.value_or(document.screenWidth);
    document.screenHeight = e.screenHeight.value_or(document.screenHeight);
  }
  if (e.backgroundIndex) document.backgroundIndex = static_cast<uint8_t>(*e.backgroundIndex);
  if (e.hideFirstFrame) document.hideFirstFrame = *e.hideFirstFrame ? 1 : 0;
  document.encodedSize = -1;
  result.changed = true;
  result.screenSize = size;
  return result;
}

}  // namespace fw
