#include "imaging/blend_pairing.h"

#include <algorithm>

namespace fw {
namespace {

// One animation's position in the schedule.
class Track {
 public:
  Track(const std::vector<int32_t>& delays, bool loop) : delays_(delays) {
    for (int32_t d : delays) total_ += std::max(d, 0);
    loop_ = loop;
    frame_ = delays.empty() ? -1 : 0;
  }

  int64_t total() const { return total_; }
  int32_t frame() const { return frame_; }
  bool active() const { return frame_ >= 0; }
  int32_t delay() const { return std::max(delays_[static_cast<size_t>(frame_)], 0); }
  int64_t end(int64_t length) const { return active() ? start_ + delay() : length; }

  void advance(int64_t now, bool byTime) {
    if (!active()) return;  // an animation that has ended stays ended
    start_ = now;
    if (++frame_ < static_cast<int32_t>(delays_.size())) return;
    // By time, an animation that takes no time cannot be repeated to fill time: it would
    // start over forever without the clock moving.
    frame_ = loop_ && (!byTime || total_ > 0) ? 0 : -1;
  }

 private:
  const std::vector<int32_t>& delays_;
  int64_t total_ = 0;
  int64_t start_ = 0;
  int32_t frame_ = -1;
  bool loop_ = false;
};

std::vector<BlendStep> OneToOne(const std::vector<int32_t>& firstDelays, const std::vector<int32_t>& secondDelays,
                                bool loop) {
  Track a(firstDelays, loop), b(secondDelays, loop);
  const size_t length = std::max(firstDelays.size(), secondDelays.size());
  std::vector<BlendStep> steps;
  steps.reserve(length);
  for (size_t n = 0; n < length; ++n) {
    const int32_t delay = a.active() ? firstDelays[static_cast<size_t>(a.frame())] : secondDelays[static_cast<size_t>(b.frame())];
    steps.push_back({a.frame(), b.frame(), delay});
    a.advance(0, false);
    b.advance(0, false);
  }
  return steps;
}

}  // namespace

std::vector<BlendStep> BlendSchedule(const std::vector<int32_t>& firstDelays, const std::vector<int32_t>& secondDelays,
                                     bool byTime, bool loop) {
  if (!byTime) return OneToOne(firstDelays, secondDelays, loop);
  Track a(firstDelays, loop), b(secondDelays, loop);
  const int64_t length = std::max(a.total(), b.total());
  // Two animations that take no time at all have no timeline to share; pairing their frames
  // keeps every one of them rather than producing nothing.
  if (length == 0) return OneToOne(firstDelays, secondDelays, loop);
  std::vector<BlendStep> steps;
  int64_t t = 0;
  while (t < length) {
    const int64_t endA = a.end(length), endB = b.end(length);
    const int64_t e = std::min(endA, endB);
    steps.push_back({a.frame(), b.frame(), static_cast<int32_t>(std::min<int64_t>(e - t, INT32_MAX))});
    t = e;
    if (a.active() && endA == t) a.advance(t, true);
    if (b.active() && endB == t) b.advance(t, true);
  }
  return steps;
}

}  // namespace fw
