// Work on many frames should grow in proportion to the frames. For each size this builds a
// document of that many small frames, copies it, merges as many one-frame documents (what a
// list naming one file over and over does) and reads files of each animated type written
// from it. Printed: seconds per size and the ratio to the previous size, about 2 when the
// work is linear, about 4 when it is quadratic.
//
//   frame_count_bench               12500, 25000, 50000 and 100000 frames
//   frame_count_bench N ...         chosen sizes
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "core/batch.h"
#include "core/message_sink.h"
#include "core/palette.h"
#include "formats/file_dispatch.h"
#include "formats/save_document.h"
#include "imaging/palette_reconcile.h"

namespace fw {
namespace {

constexpr int kSide = 8;

AnimPtr OneFrame(int k) {
  AnimPtr doc = CreateAnimation();
  const Rgb colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  SetGlobalPalette(*doc, Palette::Create(colours, 4));
  doc->screenWidth = doc->screenHeight = kSide;
  ImagePtr frame = CreateSizedImage(kSide, kSide);
  frame->activePalette = doc->globalPalette.get();
  SetIndexedImage(*frame, AllocIndexedImage(kSide, kSide, frame->activePalette));
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) frame->indexedImage->row(y)[x] = static_cast<uint8_t>((x + y + k) % 4);
  frame->delay = 5;
  AppendBlock(*doc, std::move(frame));
  return doc;
}

// N frames of one document, appended one by one as the readers do.
AnimPtr Build(int n) {
  AnimPtr doc = OneFrame(0);
  Palette* palette = doc->globalPalette.get();
  BlockAppender out(*doc);
  for (int k = 1; k < n; ++k) {
    ImagePtr frame = CreateSizedImage(kSide, kSide);
    frame->activePalette = palette;
    SetIndexedImage(*frame, AllocIndexedImage(kSide, kSide, palette));
    for (int y = 0; y < kSide; ++y)
      for (int x = 0; x < kSide; ++x) frame->indexedImage->row(y)[x] = static_cast<uint8_t>((x + y + k) % 4);
    frame->delay = 5;
    out.append(std::move(frame));
  }
  return doc;
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

class Silent : public MessageSink {
 public:
  void showError(int, const std::string& text) override { std::fprintf(stderr, "  (message: %s)\n", text.c_str()); }
  Answer ask(int, const std::string&, const std::string&, Buttons, Answer answer) override { return answer; }
};

}  // namespace
}  // namespace fw

int main(int argc, char** argv) {
  using namespace fw;
  Silent silent;
  SetMessageSink(&silent);
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {12500, 25000, 50000, 100000};
  const std::string folder = std::filesystem::temp_directory_path().string() + "/frame_count_bench." +
                             std::to_string(::getpid());
  std::filesystem::create_directories(folder);

  const std::vector<std::string> steps = {"append", "copy", "merge", "read gif", "read png", "read ani", "read avi"};
  std::map<std::string, std::vector<double>> times;
  for (int n : sizes) {
    std::fprintf(stderr, "%d frames...\n", n);
    AnimPtr doc;
    times["append"].push_back(Seconds([&] { doc = Build(n); }));
    times["copy"].push_back(Seconds([&] { AnimPtr copy = CopyAnimation(*doc, nullptr); }));

    // A chain of one-frame documents, as -i or -l hand them to the merge.
    AnimPtr chain = OneFrame(0);
    AnimHeader* tail = chain.get();
    for (int k = 1; k < n; ++k) {
      tail->nextInChain = OneFrame(k);
      tail = tail->nextInChain.get();
    }
    times["merge"].push_back(Seconds([&] {
      DocumentState state;
      MergeLoadedAnimations(state, std::move(chain), n, DocumentPaletteReconciler());
      if (!state.document || state.document->frameCount != n) std::fprintf(stderr, "  merge lost frames\n");
    }));

    for (const char* type : {"gif", "png", "ani", "avi"}) {
      const std::string path = folder + "/anim." + type;
      if (!SaveDocumentAs(path, *doc, nullptr)) {
        times[std::string("read ") + type].push_back(-1);
        continue;
      }
      int frames = 0;
      times[std::string("read ") + type].push_back(Seconds([&] {
        LoadResult r = LoadAnimationFile(path);
        frames = r.document ? r.document->frameCount : 0;
      }));
      if (frames < n) std::fprintf(stderr, "  %s: %d of %d frames read\n", type, frames, n);
      std::filesystem::remove(path);
    }
  }
  std::filesystem::remove_all(folder);

  std::printf("%-10s", "frames");
  for (int n : sizes) std::printf(" %14d", n);
  std::printf("\n");
  for (const std::string& step : steps) {
    std::printf("%-10s", step.c_str());
    const std::vector<double>& t = times[step];
    for (size_t i = 0; i < t.size(); ++i) {
      if (t[i] < 0) std::printf(" %14s", "not written");
      else if (i == 0 || t[i - 1] <= 0) std::printf(" %8.3fs      ", t[i]);
      else std::printf(" %8.3fs x%-4.1f", t[i], t[i] / t[i - 1]);
    }
    std::printf("\n");
  }
  return 0;
}
