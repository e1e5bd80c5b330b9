// A GIF comes from anywhere: any bytes must be refused or read safely. Whatever our reader
// accepts, our writer must be able to write, and our reader must read that back completely
// with the same frames, pixel for pixel. A failed round trip is a real bug, so it aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/indexed_image.h"
#include "core/message_sink.h"
#include "gif/byte_sink.h"
#include "gif/frame_pixel_budget.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "gif/kept_lzw.h"
#include "gif/lzw_decoder.h"

namespace {

class SilentMessages : public fw::MessageSink {
 public:
  void showError(int, const std::string&) override {}
  fw::Answer ask(int, const std::string&, const std::string&, fw::Buttons, fw::Answer defaultAnswer) override {
    return defaultAnswer;
  }
};

// A frame's data may stop with an end code and leave the rest of the frame blank, so a dozen
// bytes can ask for a frame of 64 MiB, and a small input for many of them. The reader counts
// such blank pixels against its own limit, lowered here, so one input makes it allocate at most
// that limit plus what the input's bytes could really decode to. Inputs long enough to decode to
// more than kReadBudget pixels are not read (run_fuzzers.sh's -max_len keeps them out anyway),
// and writing a document back costs seconds when it is large (the coverage instrumentation of
// the encoder's per-pixel comparisons took 30 s for 16 Mpx of blank frames written twice), so
// larger ones are not written.
constexpr uint64_t kBlankPixels = uint64_t{1} << 24;
constexpr uint64_t kReadBudget = uint64_t{1} << 28;
constexpr uint64_t kRoundTripBudget = uint64_t{1} << 23;

// Rows padded to four bytes, as the writer walks them.
uint64_t PaddedPixels(const fw::AnimHeader& doc) {
  uint64_t total = 0;
  for (const fw::ImageBlock* f = fw::FirstImage(&doc); f; f = fw::NextImage(f))
    if (f->indexedImage) total += uint64_t(f->indexedImage->stride()) * uint64_t(f->indexedImage->height);
  return total;
}

bool SameFrames(const fw::AnimHeader& a, const fw::AnimHeader& b) {
  if (a.frameCount != b.frameCount) return false;
  const fw::ImageBlock* f = fw::FirstImage(&a);
  const fw::ImageBlock* g = fw::FirstImage(&b);
  for (; f && g; f = fw::NextImage(f), g = fw::NextImage(g)) {
    if (f->left != g->left || f->top != g->top || f->width != g->width || f->height != g->height) return false;
    if (f->interlaced() != g->interlaced() || !f->indexedImage || !g->indexedImage) return false;
    for (int y = 0; y < f->height; ++y) {
      const uint8_t* r = f->indexedImage->row(y);
      const uint8_t* s = g->indexedImage->row(y);
      for (int x = 0; x < f->width; ++x)
        if (r[x] != s[x]) return false;
    }
  }
  return !f && !g;
}

// The data a frame keeps as its file held it must decode to the very pixels read: the
// optimizer gives its input back from that data.
bool KeptDataDecodesToFrames(const fw::AnimHeader& doc) {
  for (const fw::ImageBlock* f = fw::FirstImage(&doc); f; f = fw::NextImage(f)) {
    const std::shared_ptr<const fw::KeptLzwStream> kept = fw::ReadLzwData(*f);
    if (!kept) continue;
    size_t size = 0;
    const std::vector<uint8_t> data = fw::UnblockedLzwData(kept->subBlocks, size);
    const std::unique_ptr<fw::IndexedImage> image = fw::AllocIndexedImage(f->width, f->height, f->activePalette);
    if (!image) continue;
    const fw::LzwResult r = fw::ThreadLzwDecoder().decode(data.data(), size, true, kept->minCodeSize, *image,
                                                          f->width, f->height, kept->interlaced);
    if (r != fw::LzwResult::kComplete && r != fw::LzwResult::kEndedEarly) return false;
    for (int y = 0; y < f->height; ++y)
      for (int x = 0; x < f->width; ++x)
        if (image->row(y)[x] != f->indexedImage->row(y)[x]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static SilentMessages silent;
  fw::SetMessageSink(&silent);
  // Sizes come from the input; a plane may still be large, but not beyond this.
  fw::SetMaxPlaneBytes(size_t{64} << 20);
  fw::SetMaxBlankPixels(kBlankPixels);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (fw::MostPixelsFromData(size) > kReadBudget) return 0;
  fw::ReadResult read = fw::ReadGifMemory(data, size, {.keepDataAsRead = true});
  if (!read.document || PaddedPixels(*read.document) > kRoundTripBudget) return 0;

  fw::AnimHeader& doc = *read.document;
  if (!KeptDataDecodesToFrames(doc)) std::abort();
  // A frame placed so that it reaches past 65535 is read, but GIF cannot hold it: the writer
  // refuses such a document with a message naming the limit, which is right.
  if (!fw::GifLimitProblem(doc).empty()) return 0;
  // Measuring and writing must agree on the size, and the writer must not fail on anything
  // the reader produced.
  fw::CountingSink counter;
  if (fw::WriteGifStream(counter, doc, nullptr) != 1) std::abort();
  fw::MemorySink written;
  if (fw::WriteGifStream(written, doc, nullptr) != 1) std::abort();
  if (counter.total() != static_cast<int64_t>(written.bytes.size())) std::abort();

  fw::ReadResult again = fw::ReadGifMemory(written.bytes.data(), written.bytes.size());
  if (again.status != fw::kReadComplete || !again.document) std::abort();
  if (!SameFrames(doc, *again.document)) std::abort();
  return 0;
}
