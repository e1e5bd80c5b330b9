// PSD input: any bytes give frames or a refusal, under every way of turning layers into
// frames. Frames that come out lie on the canvas and carry the planes they claim.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "core/message_sink.h"
#include "formats/psd_file.h"

namespace {
class Quiet : public fw::MessageSink {
 public:
  void showError(int, const std::string&) override {}
  fw::Answer ask(int, const std::string&, const std::string&, fw::Buttons, fw::Answer a) override { return a; }
};
Quiet g_quiet;
uint32_t g_choice = 0;

using namespace fw::psd_choice;
const uint32_t kChoices[] = {
    kFlatten | kKeepTransparency,
    kDefaultLayers,
    kLayers | kBlendOverBackground | kKeepTransparency,
    kLayers | kBlendOverBackground | kKeepBackground | kCanvasSize,
    kLayers | kComposite | kKeepTransparency,
    kLayers | kComposite | kCanvasSize,
    kLayers | kNoBlending,
};
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fw::SetMaxPlaneBytes(size_t{1} << 24);
  fw::SetMessageSink(&g_quiet);
  fw::SetPsdLayerAsker([] { return g_choice; });
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The last byte picks the layer choice; the reader sees everything.
  g_choice = size ? kChoices[data[size - 1] % (sizeof kChoices / sizeof kChoices[0])] : kDefaultLayers;
  fw::LoadResult r = fw::ReadPsdMemory(data, size, false, nullptr);
  if (r.status == 0) return 0;
  const fw::AnimHeader& doc = *r.document;
  if (doc.frameCount < 1) std::abort();
  for (const fw::ImageBlock* f = fw::FirstImage(&doc); f; f = fw::NextImage(f)) {
    if (f->left < 0 || f->top < 0 || f->left + f->width > doc.screenWidth || f->top + f->height > doc.screenHeight)
      std::abort();
    if (!f->indexedImage && fw::TrueColourRows(*f) == nullptr) std::abort();
  }
  return 0;
}
