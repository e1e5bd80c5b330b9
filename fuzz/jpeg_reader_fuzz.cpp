// JPEG input through libjpeg-turbo: a damaged stream must come back as a refusal, never end
// the process or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "core/message_sink.h"
#include "formats/jpeg_file.h"

namespace {
class Quiet : public fw::MessageSink {
 public:
  void showError(int, const std::string&) override {}
  fw::Answer ask(int, const std::string&, const std::string&, fw::Buttons, fw::Answer a) override { return a; }
};
Quiet g_quiet;
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fw::SetMaxPlaneBytes(size_t{1} << 24);
  fw::SetMessageSink(&g_quiet);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::LoadResult r = fw::ReadJpegMemory(data, size);
  if (r.status != 1) return 0;
  const fw::ImageBlock* frame = fw::FirstImage(r.document.get());
  if (!frame || !fw::TrueColourRows(*frame)) std::abort();
  return 0;
}
