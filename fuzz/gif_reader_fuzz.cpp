// A GIF comes from anywhere: any bytes must be refused or read safely. Whatever our reader
// accepts, our writer must be able to write, and our reader must read that back completely
// with the same frames, pixel for pixel. A failed round trip is a real bug, so it aborts.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/indexed_image.h"
#include "core/message_sink.h"
#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"

namespace {

class SilentMessages : public fw::MessageSink {
 public:
  void showError(int, const std::string&) override {}
  fw::Answer ask(int, const std::string&, const std::string&, fw::Buttons, fw::Answer defaultAnswer) override {
    return defaultAnswer;
  }
};

// A frame's data may stop with an end code and leave the rest of the frame blank, so a dozen
// bytes can ask for a frame of 64 MiB, and a small input for many of them. Reading that only
// measures the machine, and writing it back costs seconds: inputs whose frames claim more
// than these many pixels in all are not read, or not written back.
constexpr uint64_t kReadBudget = uint64_t{1} << 28;
constexpr uint64_t kRoundTripBudget = uint64_t{1} << 25;

// The pixels the image descriptors claim, found by walking the blocks as our reader does but
// without decoding. Where the reader would stop at damage the walk may go on, so it can only
// count more than the reader allocates, never less.
uint64_t ClaimedPixels(const uint8_t* d, size_t n) {
  if (n < 13) return 0;
  const uint8_t screenFlags = d[10];
  size_t p = 13;
  if (screenFlags & 0x80) p += 3 * (size_t{2} << (screenFlags & 7));
  auto skipSubBlocks = [&] {
    while (p < n) {
      const uint8_t length = d[p++];
      if (length == 0) return true;
      p += length;
    }
    return false;
  };
  uint64_t total = 0;
  while (p < n) {
    const uint8_t byte = d[p++];
    if (byte == 0x00) continue;
    if (byte == ',') {
      if (p + 9 > n) break;
      const uint64_t width = d[p + 4] | d[p + 5] << 8, height = d[p + 6] | d[p + 7] << 8;
      const uint8_t flags = d[p + 8];
      total += (width ? width + 3 : 4) * (height ? height : 1);  // rows are padded to four bytes
      p += 9;
      if (flags & 0x80) p += 3 * (size_t{2} << (flags & 7));
      ++p;  // minimum code size
      if (!skipSubBlocks()) break;
    } else if (byte == '!') {
      if (p >= n) break;
      if (d[p++] == 0xF9) {
        p += 6;  // the reader takes the graphic control block as six bytes, whatever they say
        continue;
      }
      if (!skipSubBlocks()) break;
    } else {
      break;  // the trailer, or a byte that stops the reader
    }
  }
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

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static SilentMessages silent;
  fw::SetMessageSink(&silent);
  // Sizes come from the input; a plane may still be large, but not beyond this.
  fw::SetMaxPlaneBytes(size_t{64} << 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint64_t claimed = ClaimedPixels(data, size);
  if (claimed > kReadBudget) return 0;
  fw::ReadResult read = fw::ReadGifMemory(data, size);
  if (!read.document || claimed > kRoundTripBudget) return 0;

  fw::AnimHeader& doc = *read.document;
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
