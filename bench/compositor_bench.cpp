// Composing every frame of an animation, next to a plain memcpy of as many canvas bytes in the
// same run (each frame's pixels copied whole onto one canvas): the floor for a compositor that
// reads every frame pixel once. Items are frames; bytes are screen-sized canvases (one byte per
// pixel). All three inputs have full-screen frames.
//
// Names: compose/<input> and memcpy/<input>.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/compositor.h"
#include "samples/sample_drawings.h"

namespace fw::bench {
namespace {

struct Input {
  std::string name;
  AnimPtr doc;
  int64_t canvasBytes = 0;  // one screen of 8-bit pixels
};

std::vector<Input>& Inputs() {
  static std::vector<Input> inputs = [] {
    std::vector<Input> v;
    auto add = [&](const char* name, AnimPtr doc) {
      Input in{name, std::move(doc)};
      in.canvasBytes = int64_t{in.doc->screenWidth} * in.doc->screenHeight;
      // A walk that ends early would time less work than the name says.
      Compositor c(*in.doc);
      int frames = 0;
      for (const ImageBlock* canvas = c.first(); canvas; canvas = c.next()) ++frames;
      if (frames != in.doc->frameCount) {
        std::fprintf(stderr, "compositor_bench: %s: composed %d of %d frames\n", name, frames, in.doc->frameCount);
        std::exit(1);
      }
      v.push_back(std::move(in));
    };
    add("video-640x480x200", samples::VideoClip(640, 480, 200));
    add("screen-1920x1080x20", samples::ScreenCapture(1920, 1080, 20));
    add("sprite-100x100x50", samples::Sprite(100, 100, 50));
    return v;
  }();
  return inputs;
}

void SetCounters(benchmark::State& state, const Input& in) {
  state.SetItemsProcessed(state.iterations() * in.doc->frameCount);
  state.SetBytesProcessed(state.iterations() * in.doc->frameCount * in.canvasBytes);
}

void Compose(benchmark::State& state, const Input& in) {
  Compositor compositor(*in.doc);
  for (auto _ : state) {
    for (const ImageBlock* canvas = compositor.first(); canvas; canvas = compositor.next())
      benchmark::DoNotOptimize(canvas->indexedImage->pixels.data());
  }
  SetCounters(state, in);
}

// The same frame pixels copied whole into one canvas: the same source bytes as the compositor
// reads, with nothing decided per pixel.
void Memcpy(benchmark::State& state, const Input& in) {
  const size_t n = static_cast<size_t>(in.canvasBytes);
  std::vector<uint8_t> canvas(n);
  std::vector<const PixelBytes*> frames;
  for (const ImageBlock* f = FirstImage(in.doc.get()); f; f = NextImage(f)) frames.push_back(&f->indexedImage->pixels);
  for (auto _ : state) {
    for (const PixelBytes* pixels : frames) {
      std::memcpy(canvas.data(), pixels->data(), std::min(n, pixels->size()));
      benchmark::ClobberMemory();
    }
  }
  SetCounters(state, in);
}

const bool registered = [] {
  for (const Input& in : Inputs()) {
    benchmark::RegisterBenchmark(("compose/" + in.name).c_str(), [&in](benchmark::State& s) { Compose(s, in); })->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("memcpy/" + in.name).c_str(), [&in](benchmark::State& s) { Memcpy(s, in); })->Unit(benchmark::kMillisecond);
  }
  return true;
}();

}  // namespace
}  // namespace fw::bench

BENCHMARK_MAIN();
