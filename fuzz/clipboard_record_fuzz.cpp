// The clipboard transfer record comes from another process: any bytes must be refused or read
// safely, and whatever is accepted must survive a second trip unchanged in shape.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "core/clipboard_record.h"
#include "core/indexed_image.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Records may claim large frames honestly; keep single planes small so runs stay fast.
  fw::SetMaxPlaneBytes(size_t{1} << 24);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::AnimPtr doc = fw::UnpackFrames(data, size);
  if (!doc) return 0;
  // Unpacking clears the selection; select everything so that packing takes every frame.
  for (fw::ImageBlock* f = fw::FirstImage(doc.get()); f; f = fw::NextImage(f)) f->selected = 1;
  fw::CountSelected(*doc);
  const std::vector<uint8_t> again = fw::PackFrames(*doc);
  fw::AnimPtr back = fw::UnpackFrames(again.data(), again.size());
  if (!back || back->frameCount != doc->frameCount) std::abort();
  return 0;
}
