// The pixel editor on a 1920 x 1080 frame: one pixel set and its repaint (only the changed
// rectangle is drawn), next to a repaint of the whole view, and a flood fill of the frame.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPaintEvent>
#include <cstdlib>

#include "core/indexed_image.h"
#include "imaging/pixel_edit.h"
#include "ui/pixel_view.h"

namespace fw::bench {
namespace {

IndexedImage& Frame() {
  static IndexedImage image = [] {
    IndexedImage i;
    i.width = 1920;
    i.height = 1080;
    i.pixels.resize(i.stride() * 1080, 0);
    for (int y = 0; y < 1080; ++y)
      for (int x = 0; x < 1920; ++x) i.row(y)[x] = static_cast<uint8_t>((x / 16 + y / 16) % 200);
    return i;
  }();
  return image;
}

QList<QRgb> Table() {
  QList<QRgb> t(256);
  for (int i = 0; i < 256; ++i) t[i] = qRgb(i, 255 - i, (i * 7) & 255);
  return t;
}

// Draws the part of the view a repaint of `area` would draw.
void Repaint(PixelView& view, QImage& target, const QRect& area) {
  QPainter painter(&target);
  view.render(&painter, area.topLeft(), QRegion(area));
}

void BM_SetPixelAndRepaintChange(benchmark::State& state) {
  IndexedImage& image = Frame();
  PixelView view;
  view.setImage(&image);
  view.setColourTable(Table());
  view.setZoom(static_cast<int>(state.range(0)));
  QImage target(view.size(), QImage::Format_RGB32);
  PixelPlanes planes{&image};
  int n = 0;
  for (auto _ : state) {
    const int x = (n * 37) % 1920, y = (n * 53) % 1080;
    const EditRect r = SetPixelIndex(planes, x, y, static_cast<uint8_t>(n++ % 250));
    const int z = view.zoom();
    Repaint(view, target, QRect(r.left * z, r.top * z, std::max(1, r.right - r.left) * z, std::max(1, r.bottom - r.top) * z));
  }
}
BENCHMARK(BM_SetPixelAndRepaintChange)->Arg(1)->Arg(4);

void BM_RepaintWholeView(benchmark::State& state) {
  IndexedImage& image = Frame();
  PixelView view;
  view.setImage(&image);
  view.setColourTable(Table());
  view.setZoom(static_cast<int>(state.range(0)));
  // What the window shows of it at most: a 1280 x 800 viewport.
  const QRect shown(0, 0, std::min(view.width(), 1280), std::min(view.height(), 800));
  QImage target(shown.size(), QImage::Format_RGB32);
  for (auto _ : state) Repaint(view, target, shown);
}
BENCHMARK(BM_RepaintWholeView)->Arg(1)->Arg(4);

void BM_FloodFillWholeFrame(benchmark::State& state) {
  IndexedImage image;
  image.width = 1920;
  image.height = 1080;
  image.pixels.assign(image.stride() * 1080, 0);
  PixelPlanes planes{&image};
  uint8_t colour = 1;
  for (auto _ : state) benchmark::DoNotOptimize(FloodFillIndex(planes, 960, 540, colour++));
}
BENCHMARK(BM_FloodFillWholeFrame);

}  // namespace
}  // namespace fw::bench

int main(int argc, char** argv) {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  return 0;
}
