// Painting the frame strip of a 500-frame 640 x 480 animation, offscreen.
//
// first_paint: a new strip shows the document and paints once, as opening a file does; next to
// render_all, which renders every frame's cell the way a strip without lazy rendering would
// before its first paint. scroll/strip and scroll/line: the strip painted at every position one
// strip (or one scroll-bar line) apart, into an image as the window would be. Counters:
// cells_per_repaint (cells rendered, not taken from the cache, per paint) and time_per_step.
// The zoom20 variants show the strip at 20%, where many cells share one paint. The costs
// variants paint with the byte-cost overlay on, next to the same scroll without it;
// frame_costs/cold and /warm measure every frame's bytes as the size worker does, the first
// time and again after nothing changed.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QScrollBar>
#include <cstdlib>

#include "core/anim_document.h"
#include "gif/frame_costs.h"
#include "samples/sample_drawings.h"
#include "ui/cell_render.h"
#include "ui/frame_strip.h"

namespace fw::bench {
namespace {

const QSize kWindow(1000, 600);

AnimHeader& Document() {
  static AnimPtr doc = samples::VideoClip(640, 480, 500);
  return *doc;
}

void PaintInto(FrameStrip& strip, QImage& image) {
  image.fill(Qt::white);
  strip.viewport()->render(&image);
  benchmark::DoNotOptimize(image.constBits());
}

void SetPerPaint(benchmark::State& state, int paints, int renders) {
  state.counters["cells_per_repaint"] = benchmark::Counter(static_cast<double>(renders) / std::max(1, paints));
  state.counters["time_per_step"] =
      benchmark::Counter(paints, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void FirstPaint(benchmark::State& state) {
  AnimHeader& doc = Document();
  int paints = 0, renders = 0;
  for (auto _ : state) {
    FrameStrip strip;
    strip.resize(kWindow);
    strip.show();  // lays the viewport out at the window's size
    strip.setDocument(&doc);
    QImage image(strip.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    PaintInto(strip, image);
    ++paints;
    renders += strip.renderCount();
  }
  SetPerPaint(state, paints, renders);
  state.counters["frames"] = doc.frameCount;
}

void RenderAll(benchmark::State& state) {
  AnimHeader& doc = Document();
  const QColor face(240, 240, 240);
  int cells = 0;
  for (auto _ : state) {
    for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
      QImage cell = RenderCell(*f, TransparencyDisplay{}, face, 1, 1);
      benchmark::DoNotOptimize(cell.constBits());
      ++cells;
    }
  }
  state.counters["cells"] = benchmark::Counter(cells, benchmark::Counter::kAvgIterations);
  state.counters["time_per_cell"] = benchmark::Counter(cells, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// Paints at every position from the first strip to strip `stripLimit`, one strip thickness or
// one scroll-bar line apart.
void Scroll(benchmark::State& state, int zoom, bool byLine, int stripLimit, bool costs = false) {
  AnimHeader& doc = Document();
  FrameStrip strip;
  strip.resize(kWindow);
  strip.show();
  strip.setDocument(&doc);
  strip.setZoom(zoom);
  if (costs) {
    std::vector<int64_t> measured;
    FrameCostMeter().measure(doc, measured);
    strip.setFrameCosts(std::move(measured));
  }
  strip.setShowFrameCosts(costs);
  QScrollBar* bar = strip.geometry().vertical ? strip.horizontalScrollBar() : strip.verticalScrollBar();
  const int extent = strip.geometry().vertical ? strip.viewport()->width() : strip.viewport()->height();
  const int step = byLine ? extent / 16 + 1 : strip.geometry().thickness;
  const int end = std::min(bar->maximum(), stripLimit * strip.geometry().thickness);
  QImage image(strip.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
  int paints = 0;
  const int rendersBefore = strip.renderCount();
  for (auto _ : state) {
    for (int position = 0; position <= end; position += step) {
      bar->setValue(position);
      PaintInto(strip, image);
      ++paints;
    }
  }
  SetPerPaint(state, paints, strip.renderCount() - rendersBefore);
}

void MeasureCosts(benchmark::State& state, bool warm) {
  AnimHeader& doc = Document();
  FrameCostMeter kept;
  std::vector<int64_t> costs;
  if (warm) kept.measure(doc, costs);
  for (auto _ : state) {
    FrameCostMeter fresh;
    (warm ? kept : fresh).measure(doc, costs);
    benchmark::DoNotOptimize(costs.data());
  }
  state.counters["frames"] = doc.frameCount;
}

const bool registered = [] {
  benchmark::RegisterBenchmark("first_paint/640x480x500", FirstPaint)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("render_all/640x480x500", RenderAll)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("scroll/strip/640x480x500",
                               [](benchmark::State& s) { Scroll(s, 0, false, 500); })
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("scroll/line/640x480x500",
                               [](benchmark::State& s) { Scroll(s, 0, true, 50); })
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("scroll/strip/zoom20/640x480x500",
                               [](benchmark::State& s) { Scroll(s, -4, false, 500); })
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("scroll/strip/costs/640x480x500",
                               [](benchmark::State& s) { Scroll(s, 0, false, 500, true); })
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("scroll/strip/zoom20/costs/640x480x500",
                               [](benchmark::State& s) { Scroll(s, -4, false, 500, true); })
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("frame_costs/cold/640x480x500", [](benchmark::State& s) { MeasureCosts(s, false); })
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("frame_costs/warm/640x480x500", [](benchmark::State& s) { MeasureCosts(s, true); })
      ->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace fw::bench

int main(int argc, char** argv) {
  // Before the application exists: it picks its platform when it is made.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
