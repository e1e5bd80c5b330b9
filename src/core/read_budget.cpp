#include "core/read_budget.h"

#include <algorithm>
#include <atomic>

#include "core/anim_document.h"
#include "core/message_sink.h"

namespace fw {
namespace {
// 64 MiB: a few dozen blank screen-sized frames, enough for the damaged files a reader means to
// keep, and no more than that for a file that claims what it does not hold.
std::atomic<uint64_t> g_maxUnbackedBytes{kDefaultMaxUnbackedBytes};
std::atomic<int64_t> g_documentPixelLimit{kDefaultDocumentPixelLimit};
thread_local int64_t t_heldPixels = 0;
thread_local ReadBudget* t_activeBudget = nullptr;

long long Millions(int64_t pixels) { return static_cast<long long>(pixels / 1000000); }
}  // namespace

uint64_t MaxUnbackedBytes() { return g_maxUnbackedBytes.load(); }
void SetMaxUnbackedBytes(uint64_t bytes) { g_maxUnbackedBytes.store(bytes); }
int64_t DocumentPixelLimit() { return g_documentPixelLimit.load(); }
void SetDocumentPixelLimit(int64_t pixels) { g_documentPixelLimit.store(std::max<int64_t>(pixels, 1)); }

int64_t DocumentPixels(const AnimHeader& document) {
  int64_t pixels = 0;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    pixels += int64_t{std::max(f->width, 1)} * std::max(f->height, 1);
  return pixels;
}

PixelsAlreadyHeld::PixelsAlreadyHeld(int64_t pixels) : previous_(t_heldPixels) {
  t_heldPixels = std::max<int64_t>(0, pixels);
}
PixelsAlreadyHeld::~PixelsAlreadyHeld() { t_heldPixels = previous_; }
int64_t HeldPixels() { return t_heldPixels; }

bool ReadBudget::admitUnbacked(uint64_t bytes, uint64_t backedBytes) {
  const uint64_t unbacked = bytes > backedBytes ? bytes - backedBytes : 0;
  const uint64_t limit = MaxUnbackedBytes();
  if (unbacked > 0 && (unbacked_ > limit || unbacked > limit - unbacked_)) return false;
  unbacked_ += unbacked;
  return true;
}

void ReadBudget::refuseUnbacked() {
  ShowText("The file describes pictures its data cannot fill (blank, repeated or missing parts) beyond the %llu MB one "
           "file may have made up that way; reading stopped there.",
           static_cast<unsigned long long>(MaxUnbackedBytes() >> 20));
}

bool ReadBudget::admitFrame(int64_t pixels) {
  const int64_t limit = DocumentPixelLimit();
  const int64_t held = HeldPixels() + pixels_;
  if (pixels >= 0 && held <= limit && pixels <= limit - held) {
    pixels_ += pixels;
    return true;
  }
  ShowText("The animation would have %lld million pixels in its frames, more than the %lld million (%lld pixels) an "
           "animation may have; reading stopped there.",
           Millions(held + std::min(pixels, limit)), Millions(limit), static_cast<long long>(limit));
  return false;
}

ReadBudgetScope::ReadBudgetScope() : previous_(t_activeBudget), active_(previous_ ? previous_ : &own_) {
  t_activeBudget = active_;
}
ReadBudgetScope::~ReadBudgetScope() { t_activeBudget = previous_; }

}  // namespace fw
