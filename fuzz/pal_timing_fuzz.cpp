// The two small text-and-table formats: RIFF palettes and timing files. Any bytes are a
// palette of 1 to 256 entries or a refusal, and a timing walk never sets more frames than exist.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/message_sink.h"
#include "formats/pal_file.h"
#include "formats/timing_file.h"

namespace {
class Quiet : public fw::MessageSink {
 public:
  void showError(int, const std::string&) override {}
  fw::Answer ask(int, const std::string&, const std::string&, fw::Buttons, fw::Answer a) override { return a; }
};
Quiet g_quiet;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fw::SetMessageSink(&g_quiet);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (auto palette = fw::ReadPalBytes(data, size, "fuzz.pal"))
    if (palette->count() < 1 || palette->count() > 256) std::abort();

  fw::AnimPtr doc = fw::CreateAnimation();
  for (int k = 0; k < 3; ++k) fw::AppendBlock(*doc, fw::CreateSizedImage(1, 1));
  const int set = fw::ApplyTimingText(data, size, *doc);
  if (set < 0 || set > 3) std::abort();
  for (const fw::ImageBlock* f = fw::FirstImage(doc.get()); f; f = fw::NextImage(f))
    if (f->delay < 0) std::abort();
  return 0;
}
