// Blend: reads the second animation, brings it onto the document's palette, pairs the two
// animations' composed frames and replaces the document's frames by the combined ones.
#include "imaging/blend.h"

#include <algorithm>
#include <new>
#include <vector>

#include "core/compositor.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "imaging/blend_draw.h"
#include "imaging/blend_pairing.h"
#include "imaging/palette_merge.h"

namespace fw {
namespace {

constexpr uint32_t kByTimeBit = 1u << 22;
constexpr uint32_t kLoopBit = 1u << 23;

// Takes the document back to how it was before the blend unless the blend went through:
// through the undo step when there is one, else through a copy of our own, so that a failed
// blend never leaves the palette conversion behind.
class Rollback {
 public:
  explicit Rollback(AnimHeader& doc) : doc_(doc) {}
  Rollback(const Rollback&) = delete;
  Rollback& operator=(const Rollback&) = delete;
  ~Rollback() {
    if (record_) UndoLastAndForget(doc_);
    else if (backup_) ExchangeDocuments(doc_, *backup_);
  }
  bool begin() {
    record_ = RecordUndo(undo_kind::kBlend, doc_, nullptr, {}, 0);
    if (!record_) backup_ = CopyAnimation(doc_, nullptr);
    return record_ || backup_;
  }
  void keep() {
    record_ = nullptr;
    backup_.reset();
  }

 private:
  AnimHeader& doc_;
  UndoRecord* record_ = nullptr;
  AnimPtr backup_;
};

// One animation's composed frames, reached in the order the schedule asks for them: the
// next frame, the same one again, or the first one when the animation starts over.
class ComposedFrames {
 public:
  explicit ComposedFrames(const AnimHeader& doc) : compositor_(doc) {}
  const ImageBlock* at(int index) {
    if (index < 0) return nullptr;
    if (index == index_) return canvas_;
    if (index == index_ + 1 && canvas_) {
      canvas_ = compositor_.next();
    } else {
      canvas_ = compositor_.first();
      for (int i = 0; canvas_ && i < index; ++i) canvas_ = compositor_.next();
    }
    index_ = index;
    if (!canvas_) throw std::bad_alloc();  // the schedule asks only for existing frames
    return canvas_;
  }

 private:
  Compositor compositor_;
  const ImageBlock* canvas_ = nullptr;
  int index_ = -1;
};

bool AnyTrueColour(const AnimHeader& doc) {
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f))
    if (f->hasTrueColour()) return true;
  return false;
}

std::vector<int32_t> Delays(const AnimHeader& doc) {
  std::vector<int32_t> delays;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) delays.push_back(f->delay);
  return delays;
}

uint32_t BlendMergeWord() {
  uint32_t word = Prefs().read(pref::kPaletteMerge);
  // Local palettes cannot serve frames drawn from both animations on one palette.
  if (MergeMode(word) == merge_word::kLocal) word = (word & ~merge_word::kLocal) | merge_word::kAdaptive;
  return word | merge_word::kLocalPalettesToo;
}

struct Job {
  const AnimHeader* first;
  const AnimHeader* second;
  BlendOptions options;
  BlendLayout layout;
  bool trueColour;
  Palette* palette;
  uint8_t background;
};

ImagePtr MakeFrame(const Job& job, const ImageBlock* p, const ImageBlock* q, int number, int32_t delay) {
  const ImageBlock* lead = p ? p : q;
  const bool transparent = lead && lead->transparent();
  const uint8_t key = lead ? lead->transparentIndex : 0;
  const uint8_t fill = p && p->transparent() ? p->transparentIndex : job.background;
  ImagePtr frame = NewBlendFrame(job.layout.width, job.layout.height, job.palette, fill, job.trueColour,
                                 transparent && fill == key);
  if (!frame) throw std::bad_alloc();
  if (p) DrawComposed(*frame, *p, job.first->screenWidth, job.first->screenHeight, job.layout.shiftX,
                      job.layout.shiftY, job.palette);
  if (q)
    DrawComposed(*frame, *q, job.second->screenWidth, job.second->screenHeight,
                 job.layout.shiftX + job.options.x, job.layout.shiftY + job.options.y, job.palette);
  // Every blended frame is a whole screen showing everything at its time. A transparent one
  // must not let the frame before it show through its transparent pixels, so it is cleared
  // to the background when its time is over, whatever the original frame asked for.
  SetDisposal(*frame, transparent ? kDisposalBackground : (lead ? lead->disposal() : kDisposalNone));
  frame->transparentIndex = key;
  SetTransparency(*frame, transparent);
  frame->delay = delay;
  SetFrameName(*frame, FormatText(MessageText(blend_msg::kFrameName), number).c_str());
  return frame;
}

// The blended frames; empty when stopped by the user. Throws std::bad_alloc.
std::vector<ImagePtr> BuildFrames(const Job& job, Progress* progress) {
  const std::vector<BlendStep> steps =
      BlendSchedule(Delays(*job.first), Delays(*job.second), job.options.byTime, job.options.loop);
  int64_t range = 0;
  for (const BlendStep& s : steps) range += job.options.byTime ? std::max(s.delay, 0) : 1;
  SetProgressText(progress, "Blending...");
  StartProgress(progress, range);

  ComposedFrames first(*job.first), second(*job.second);
  std::vector<ImagePtr> frames;
  frames.reserve(steps.size());
  int64_t position = 0;
  for (const BlendStep& s : steps) {
    const ImageBlock* p = first.at(s.first);
    const ImageBlock* q = second.at(s.second);
    frames.push_back(MakeFrame(job, p, q, static_cast<int>(frames.size()) + 1, s.delay));
    position += job.options.byTime ? std::max(s.delay, 0) : 1;
    if (!SetProgressPosition(progress, position)) return {};
  }
  return frames;
}

// The blended frames take the place of the document's frames; its other blocks keep their
// order behind them. Nothing here allocates, so it cannot fail half-way.
void ReplaceFrames(AnimHeader& doc, std::vector<ImagePtr> frames, const BlendLayout& layout) {
  for (GifBlock* b = doc.blockList->next; b;) {
    GifBlock* next = b->next;
    if (b->isImage()) RemoveBlock(b);
    b = next;
  }
  GifBlock* at = doc.blockList;
  for (ImagePtr& f : frames) {
    GifBlock* raw = f.release();
    InsertAfter(at, raw);
    at = raw;
  }
  doc.frameCount = static_cast<int32_t>(frames.size());
  doc.selectedCount = 0;
  doc.selectionAnchor = -1;
  doc.screenWidth = layout.width;
  doc.screenHeight = layout.height;
  ComputeColourUsage(doc, doc.colourUsage.data(), true);
  doc.encodedSize = -1;
}

}  // namespace

BlendOptions StartBlendOptions() {
  BlendOptions o;
  o.byTime = Prefs().bit(pref::kOptionFlags, kByTimeBit);
  o.loop = Prefs().bit(pref::kOptionFlags, kLoopBit);
  return o;
}

void StoreBlendChoices(const BlendOptions& options) {
  uint32_t word = Prefs().raw(pref::kOptionFlags);
  word = options.byTime ? word | kByTimeBit : word & ~kByTimeBit;
  word = options.loop ? word | kLoopBit : word & ~kLoopBit;
  Prefs().write(pref::kOptionFlags, word);
}

BlendLayout LayoutBlend(const AnimHeader& first, const AnimHeader& second, int32_t x, int32_t y) {
  BlendLayout l;
  const int64_t w = std::max<int64_t>(first.screenWidth, int64_t{x} + second.screenWidth) - std::min(x, 0);
  const int64_t h = std::max<int64_t>(first.screenHeight, int64_t{y} + second.screenHeight) - std::min(y, 0);
  l.width = static_cast<int32_t>(std::clamp<int64_t>(w, 1, INT32_MAX));
  l.height = static_cast<int32_t>(std::clamp<int64_t>(h, 1, INT32_MAX));
  l.shiftX = x < 0 ? -x : 0;
  l.shiftY = y < 0 ? -y : 0;
  return l;
}

int Blend(AnimHeader& document, const std::string& path, const AnimationLoader& load,
          const BlendOptionsChooser& choose, Progress* progress) {
  if (!load) return 0;
  LoadResult read = load(path);
  if (read.status == kReadFailed || !read.document || read.document->frameCount == 0) return 0;
  AnimPtr other = std::move(read.document);

  Rollback rollback(document);
  if (!rollback.begin()) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return 0;
  }
  if (ConvertPalettes(&document, other.get(), BlendMergeWord(), progress) != kConvertDone) return 0;
  if (!document.globalPalette) return 0;

  BlendOptions options = StartBlendOptions();
  if (choose) {
    if (!choose(document, *other, options)) return 0;
    StoreBlendChoices(options);
  }
  options.x = std::clamp(options.x, -kMaxBlendOffset, kMaxBlendOffset);
  options.y = std::clamp(options.y, -kMaxBlendOffset, kMaxBlendOffset);

  Job job{&document, other.get(), options, LayoutBlend(document, *other, options.x, options.y),
          AnyTrueColour(document) || AnyTrueColour(*other), document.globalPalette.get(), document.backgroundIndex};
  std::vector<ImagePtr> frames;
  try {
    frames = BuildFrames(job, progress);
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return 0;
  }
  if (frames.empty()) return 0;  // stopped
  ReplaceFrames(document, std::move(frames), job.layout);
  rollback.keep();
  return 2;
}

}  // namespace fw
