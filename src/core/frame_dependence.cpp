#include "core/frame_dependence.h"

#include <algorithm>
#include <unordered_map>

#include "core/frame_planes.h"

namespace fw {
namespace {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  bool empty() const { return right <= left || bottom <= top; }
  bool inside(const Rect& o) const {
    return empty() || (left >= o.left && top >= o.top && right <= o.right && bottom <= o.bottom);
  }
  Rect united(const Rect& o) const {
    if (empty()) return o;
    if (o.empty()) return *this;
    return {std::min(left, o.left), std::min(top, o.top), std::max(right, o.right), std::max(bottom, o.bottom)};
  }
};

// The part of the screen the frame can draw on.
Rect OnScreen(const ImageBlock& f, int W, int H) {
  int width = f.width, height = f.height;
  if (f.indexedImage) {
    width = std::min(width, f.indexedImage->width);
    height = std::min(height, f.indexedImage->height);
  }
  return {std::max(0, f.left), std::max(0, f.top), std::min(W, f.left + width), std::min(H, f.top + height)};
}

}  // namespace

bool CoversScreen(const ImageBlock& f, int W, int H) {
  if (!f.indexedImage) return false;
  const Rect r = OnScreen(f, W, H);
  if (r.left > 0 || r.top > 0 || r.right < W || r.bottom < H) return false;
  if (f.hasTrueColour() && !AlphaIsOpaque(f)) return false;
  if (!f.transparent()) return true;
  for (int y = r.top; y < r.bottom; ++y) {
    const uint8_t* row = f.indexedImage->row(y - f.top) + (r.left - f.left);
    if (std::find(row, row + (r.right - r.left), f.transparentIndex) != row + (r.right - r.left)) return false;
  }
  return true;
}

std::vector<bool> BlankBefore(const std::vector<const ImageBlock*>& sequence, int W, int H) {
  std::vector<bool> blank(sequence.size());
  Rect drawn;  // bounds of what is on the screen since it was last empty
  for (size_t i = 0; i < sequence.size(); ++i) {
    blank[i] = drawn.empty();
    const ImageBlock& f = *sequence[i];
    const Rect own = OnScreen(f, W, H);
    switch (f.disposal()) {
      case kDisposalBackground:
        // Only its own rectangle is cleared: anything left outside it stays.
        drawn = drawn.inside(own) ? Rect{} : drawn.united(own);
        break;
      case kDisposalPrevious: break;  // the screen goes back to what it was before the frame
      default: drawn = drawn.united(own); break;
    }
  }
  return blank;
}

std::vector<const ImageBlock*> FrameSequence(const AnimHeader& document) {
  std::vector<const ImageBlock*> frames;
  frames.reserve(static_cast<size_t>(std::max(0, document.frameCount)));
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) frames.push_back(f);
  return frames;
}

std::vector<bool> FramesDependingOnEarlier(const AnimHeader& document) {
  const std::vector<const ImageBlock*> frames = FrameSequence(document);
  const std::vector<bool> blank = BlankBefore(frames, document.screenWidth, document.screenHeight);
  std::vector<bool> depends(frames.size());
  for (size_t i = 0; i < frames.size(); ++i)
    depends[i] = !blank[i] && !CoversScreen(*frames[i], document.screenWidth, document.screenHeight);
  return depends;
}

bool OrderChangesPictures(const AnimHeader& document, const std::vector<const ImageBlock*>& after) {
  const int W = document.screenWidth, H = document.screenHeight;
  const std::vector<const ImageBlock*> before = FrameSequence(document);
  size_t unchanged = 0;  // frames that keep every predecessor
  while (unchanged < before.size() && unchanged < after.size() && before[unchanged] == after[unchanged]) ++unchanged;
  if (unchanged == after.size()) return false;

  std::unordered_map<const ImageBlock*, size_t> position;
  for (size_t i = 0; i < before.size(); ++i) position.emplace(before[i], i);
  const std::vector<bool> blankBefore = BlankBefore(before, W, H);
  const std::vector<bool> blankAfter = BlankBefore(after, W, H);
  for (size_t j = unchanged; j < after.size(); ++j) {
    const auto at = position.find(after[j]);
    if (at == position.end()) continue;  // an incoming frame: what it shows is its source's business
    if (blankBefore[at->second] && blankAfter[j]) continue;
    if (!CoversScreen(*after[j], W, H)) return true;
  }
  return false;
}

}  // namespace fw
