#pragma once
// The preview's time source: a monotonic millisecond clock with one pending wake-up. The
// program uses the steady clock and a precise Qt timer; tests drive a fake one by hand, so
// playback can be checked without waiting.
#include <QtGlobal>
#include <functional>
#include <memory>

namespace fw {

class PlaybackClock {
 public:
  virtual ~PlaybackClock() = default;
  // Milliseconds since an arbitrary start; never goes back.
  virtual qint64 now() const = 0;
  // Calls `wake` once when the clock reaches `due`, at once when it already has. Replaces a
  // wake-up still pending.
  virtual void wakeAt(qint64 due, std::function<void()> wake) = 0;
  virtual void cancel() = 0;
};

std::unique_ptr<PlaybackClock> CreateSteadyPlaybackClock();

}  // namespace fw
