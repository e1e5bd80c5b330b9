#include "ui/playback_clock.h"

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>

namespace fw {
namespace {

class SteadyPlaybackClock : public PlaybackClock {
 public:
  SteadyPlaybackClock() {
    elapsed_.start();
    // Coarse timers may fire 5 % late, which a 10 ms frame would notice.
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setSingleShot(true);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      // The callback may schedule the next wake-up, so it must not be the one still stored.
      std::function<void()> wake = std::move(wake_);
      wake_ = nullptr;
      if (wake) wake();
    });
  }
  qint64 now() const override { return elapsed_.elapsed(); }
  void wakeAt(qint64 due, std::function<void()> wake) override {
    wake_ = std::move(wake);
    timer_.start(static_cast<int>(std::clamp<qint64>(due - now(), 0, 1 << 30)));
  }
  void cancel() override {
    timer_.stop();
    wake_ = nullptr;
  }

 private:
  QElapsedTimer elapsed_;
  QTimer timer_;
  std::function<void()> wake_;
};

}  // namespace

std::unique_ptr<PlaybackClock> CreateSteadyPlaybackClock() { return std::make_unique<SteadyPlaybackClock>(); }

}  // namespace fw
