// How closely the preview keeps its timing on the real clock: plays 640x480 frames of 10 ms
// (one tick of the default time base) for a few seconds and reports how late each frame came
// compared with when it was due. Prints the share of frames within one tick, the mean and the
// worst lateness, and the total drift over the whole run.
#include <QApplication>
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "core/anim_document.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "samples/sample_drawings.h"
#include "ui/playback_clock.h"
#include "ui/preview_dialog.h"

namespace {

// The steady clock, noting for every wake-up when it was due and when it came.
class RecordingClock : public fw::PlaybackClock {
 public:
  explicit RecordingClock(std::vector<qint64>& lateness) : inner_(fw::CreateSteadyPlaybackClock()), lateness_(lateness) {}
  qint64 now() const override { return inner_->now(); }
  void wakeAt(qint64 due, std::function<void()> wake) override {
    inner_->wakeAt(due, [this, due, wake = std::move(wake)] {
      lateness_.push_back(inner_->now() - due);
      wake();
    });
  }
  void cancel() override { inner_->cancel(); }

 private:
  std::unique_ptr<fw::PlaybackClock> inner_;
  std::vector<qint64>& lateness_;
};

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  QApplication app(argc, argv);
  fw::RecordingMessageSink sink;
  fw::SetMessageSink(&sink);
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;

  fw::AnimPtr doc = fw::samples::VideoClip(640, 480, 50);
  for (fw::ImageBlock* f = fw::FirstImage(doc.get()); f; f = fw::NextImage(f)) f->delay = 1;
  doc->playCount = 0;

  std::vector<qint64> lateness;
  fw::PreviewDialog preview(*doc, {}, nullptr, std::make_unique<RecordingClock>(lateness));
  preview.setAttribute(Qt::WA_DeleteOnClose, false);
  QElapsedTimer wall;
  wall.start();
  preview.begin();
  while (wall.elapsed() < seconds * 1000) app.processEvents(QEventLoop::AllEvents, 5);
  preview.stop();
  const qint64 elapsed = wall.elapsed();

  if (lateness.empty()) {
    std::printf("no frame was shown\n");
    return 1;
  }
  const auto withinTick = std::count_if(lateness.begin(), lateness.end(), [](qint64 l) { return l <= 10; });
  const double mean = std::accumulate(lateness.begin(), lateness.end(), 0.0) / static_cast<double>(lateness.size());
  std::printf("frames shown          %zu in %lld ms (%.1f per second; 100 intended)\n", lateness.size(),
              static_cast<long long>(elapsed), 1000.0 * static_cast<double>(lateness.size()) / static_cast<double>(elapsed));
  std::printf("within one tick       %.1f%%\n", 100.0 * static_cast<double>(withinTick) / static_cast<double>(lateness.size()));
  std::printf("lateness mean / max   %.2f / %lld ms\n", mean,
              static_cast<long long>(*std::max_element(lateness.begin(), lateness.end())));
  return 0;
}
