// PNG and APNG input through our chunk layer and libpng: any bytes give frames or a refusal.
// Frames that are read must make sense for the canvas and encode again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "fuzz_setup.h"
#include "formats/png_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fw::fuzz::QuietSmallPlanes(size_t{1} << 24);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::LoadResult r = fw::ReadPngBytes(data, size);
  if (r.status != 1) return 0;
  const fw::AnimHeader& doc = *r.document;
  if (doc.frameCount < 1) std::abort();
  int index = 0;
  for (const fw::ImageBlock* f = fw::FirstImage(&doc); f; f = fw::NextImage(f), ++index) {
    // Every animation frame lies inside the canvas (a pAni split gives tiles of the new one).
    if (f->left < 0 || f->top < 0 || f->left + f->width > doc.screenWidth || f->top + f->height > doc.screenHeight)
      std::abort();
    if (index < 4) fw::PngEncodedSize(*f, nullptr);
  }
  fw::CheckApngSavable(doc);
  return 0;
}
