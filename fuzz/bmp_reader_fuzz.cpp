// BMP files come from anywhere: every byte string must be read or refused, never read past.
// Whatever is read must be writable again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/indexed_image.h"
#include "fuzz_setup.h"
#include "formats/bmp_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Headers may claim large pictures honestly; keep planes small so runs stay fast.
  fw::fuzz::QuietSmallPlanes(size_t{1} << 24);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::LoadResult r = fw::ReadBmpMemory(data, size);
  if (r.status != 1) return 0;
  const fw::ImageBlock* frame = fw::FirstImage(r.document.get());
  if (!frame || frame->width <= 0 || frame->height <= 0) std::abort();
  if (!frame->indexedImage && frame->trueColour.empty()) std::abort();
  return 0;
}
