// Decoding and encoding speed of our GIF codec next to giflib, on the same animations in the
// same run. Items are pixels, so items_per_second reads as pixels per second.
//
// Names: <encode|decode>/<input>/<codec>[/<whose file>], where the file decoded is either the
// one our writer produced, the one giflib produced from the same document, or, for inputs
// named on the command line as NAME=FILE.gif, that file as it came (another tool's writer).
//
// Decoding allocates every frame afresh, as opening a file does. Left to itself glibc hands
// large freed blocks back to the system or not depending on what ran before, so a decode may
// or may not pay the page faults of tens of megabytes of new frame memory; on a virtual
// machine that can be half the time, and the figures then depend on the order the benchmarks
// run in. So the heap keeps what it frees (for both codecs alike) and the figures are the
// codecs' own work; FW_BENCH_SYSTEM_HEAP=1 in the environment leaves glibc's defaults.
#include <benchmark/benchmark.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "giflib_peer.h"
#include "samples/sample_drawings.h"

namespace fw::bench {
namespace {

struct Input {
  std::string name;
  AnimPtr doc;
  int64_t pixels = 0;
  std::vector<uint64_t> hashes;     // of the document's frames
  std::vector<uint8_t> ourFile;     // written by WriteGifStream
  std::vector<uint8_t> giflibFile;  // written by giflib from the same document
  std::vector<uint8_t> givenFile;   // the file named on the command line, if any
};

[[noreturn]] void Fail(const std::string& input, const char* what) {
  std::fprintf(stderr, "gif_codec_bench: %s: %s\n", input.c_str(), what);
  std::exit(1);
}

// Builds an input and checks, outside any timing, that every decoder gives back exactly the
// frames of the document from either file; a benchmark of a wrong result is worthless.
Input MakeInput(std::string name, AnimPtr doc, std::vector<uint8_t> givenFile = {}) {
  Input in;
  in.givenFile = std::move(givenFile);
  in.name = std::move(name);
  in.doc = std::move(doc);
  in.pixels = DocumentPixels(*in.doc);
  in.hashes = DocumentFrameHashes(*in.doc);

  MemorySink sink;
  if (WriteGifStream(sink, *in.doc, nullptr) != 1) Fail(in.name, "our writer failed");
  in.ourFile = std::move(sink.bytes);
  if (!GiflibEncode(*in.doc, in.giflibFile)) Fail(in.name, "giflib's encoder failed");

  std::vector<uint64_t> got;
  std::vector<uint8_t> buffer;
  for (const auto* file : {&in.ourFile, &in.giflibFile, &in.givenFile}) {
    if (file->empty()) continue;
    const char* whose = file == &in.ourFile ? "our file" : file == &in.giflibFile ? "giflib's file" : "the given file";
    ReadResult r = ReadGifMemory(file->data(), file->size());
    if (r.status != kReadComplete || DocumentFrameHashes(*r.document) != in.hashes)
      Fail(in.name, (std::string("our reader differs on ") + whose).c_str());
    if (GiflibDecodeSlurp(*file, &got) < 0 || got != in.hashes)
      Fail(in.name, (std::string("DGifSlurp differs on ") + whose).c_str());
    if (GiflibDecodeLines(*file, buffer, &got) < 0 || got != in.hashes)
      Fail(in.name, (std::string("DGifGetLine differs on ") + whose).c_str());
  }
  return in;
}

// NAME=FILE from the command line: the file read by us, then benchmarked like the built inputs
// and, as it came, as a third file to decode.
Input FileInput(const std::string& argument) {
  const size_t eq = argument.find('=');
  if (eq == std::string::npos || eq == 0) Fail(argument, "inputs are given as NAME=FILE.gif");
  const std::string name = argument.substr(0, eq), path = argument.substr(eq + 1);
  std::vector<uint8_t> bytes;
  if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
    uint8_t chunk[65536];
    for (size_t n; (n = std::fread(chunk, 1, sizeof chunk, f)) > 0;) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
  }
  ReadResult r = ReadGifMemory(bytes.data(), bytes.size());
  if (r.status != kReadComplete) Fail(name, ("cannot read " + path).c_str());
  Input in = MakeInput(name, std::move(r.document), std::move(bytes));
  return in;
}

void Count(benchmark::State& state, const Input& in, size_t fileBytes) {
  state.SetItemsProcessed(state.iterations() * in.pixels);
  state.counters["Mpx"] = static_cast<double>(in.pixels) / 1e6;
  state.counters["file_MB"] = static_cast<double>(fileBytes) / 1e6;
}

// Both encoders write into sinks that only count, as measuring a document's size does, so the
// figures are the encoders' own and not the growth of a buffer.
void EncodeOurs(benchmark::State& state, Input* in) {
  int64_t bytes = 0;
  for (auto _ : state) {
    CountingSink sink;
    if (WriteGifStream(sink, *in->doc, nullptr) != 1) state.SkipWithError("write failed");
    bytes = sink.total();
    benchmark::DoNotOptimize(bytes);
  }
  Count(state, *in, static_cast<size_t>(bytes));
}

void EncodeGiflib(benchmark::State& state, Input* in) {
  int64_t bytes = 0;
  for (auto _ : state) {
    bytes = GiflibEncodedSize(*in->doc);
    if (bytes < 0) state.SkipWithError("giflib encode failed");
    benchmark::DoNotOptimize(bytes);
  }
  Count(state, *in, static_cast<size_t>(bytes));
}

void DecodeOurs(benchmark::State& state, Input* in, const std::vector<uint8_t>* file) {
  for (auto _ : state) {
    ReadResult r = ReadGifMemory(file->data(), file->size());
    if (r.status != kReadComplete) state.SkipWithError("read failed");
    benchmark::DoNotOptimize(r.document.get());
  }
  Count(state, *in, file->size());
}

void DecodeSlurp(benchmark::State& state, Input* in, const std::vector<uint8_t>* file) {
  for (auto _ : state) {
    if (GiflibDecodeSlurp(*file) < 0) state.SkipWithError("DGifSlurp failed");
  }
  Count(state, *in, file->size());
}

void DecodeLines(benchmark::State& state, Input* in, const std::vector<uint8_t>* file) {
  std::vector<uint8_t> buffer;
  for (auto _ : state) {
    if (GiflibDecodeLines(*file, buffer) < 0) state.SkipWithError("DGifGetLine failed");
    benchmark::DoNotOptimize(buffer.data());
  }
  Count(state, *in, file->size());
}

}  // namespace
}  // namespace fw::bench

int main(int argc, char** argv) {
  using namespace fw::bench;
  benchmark::Initialize(&argc, argv);
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] == '-') return benchmark::ReportUnrecognizedArguments(argc, argv) ? 1 : 0;
    files.emplace_back(argv[i]);
  }
#if defined(__GLIBC__)
  if (const char* system = std::getenv("FW_BENCH_SYSTEM_HEAP"); !system || *system != '1') {
    // Frames (and files) up to 32 MiB, the most glibc accepts here, come from the heap, and
    // the heap is never trimmed.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 1 << 30);
  }
#endif

  // Built once and kept for the whole run; each benchmark reads them only.
  static std::vector<Input> inputs;
  inputs.reserve(3 + files.size());
  inputs.push_back(MakeInput("video_clip", fw::samples::VideoClip(640, 480, 200)));
  inputs.push_back(MakeInput("screen_capture", fw::samples::ScreenCapture(1024, 768, 150)));
  inputs.push_back(MakeInput("sprite", fw::samples::Sprite(100, 100, 24)));
  for (const std::string& argument : files) inputs.push_back(FileInput(argument));

  // A third of a second per benchmark keeps a run near half a minute; the big inputs then run
  // only a few iterations, which is enough since one iteration already covers tens of
  // millions of pixels. The warm-up iteration leaves the heap holding the memory a decode
  // needs, so no measured iteration pays for first touching it.
  // Wall-clock time: our writer encodes frames on every core, and the main thread's CPU time
  // would leave the other threads' work out.
  auto setup = [](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond)->MinWarmUpTime(0.1)->MinTime(0.3)->UseRealTime();
  };
  for (Input& in : inputs) {
    const std::string base = in.name + "/";
    setup(benchmark::RegisterBenchmark(("encode/" + base + "ours").c_str(), EncodeOurs, &in));
    setup(benchmark::RegisterBenchmark(("encode/" + base + "giflib").c_str(), EncodeGiflib, &in));
    for (const auto* file : {&in.ourFile, &in.giflibFile, &in.givenFile}) {
      if (file->empty()) continue;
      const std::string whose = file == &in.ourFile ? "/our_file" : file == &in.giflibFile ? "/giflib_file" : "/given_file";
      setup(benchmark::RegisterBenchmark(("decode/" + base + "ours" + whose).c_str(), DecodeOurs, &in, file));
      setup(benchmark::RegisterBenchmark(("decode/" + base + "giflib_slurp" + whose).c_str(), DecodeSlurp, &in, file));
      setup(benchmark::RegisterBenchmark(("decode/" + base + "giflib_lines" + whose).c_str(), DecodeLines, &in, file));
    }
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
