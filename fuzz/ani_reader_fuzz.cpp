// Animated-cursor input: RIFF chunks that lie about their sizes, steps that name missing
// cursors, cursors of any kind. Any bytes give frames or a refusal.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/indexed_image.h"
#include "fuzz_setup.h"
#include "formats/ani_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fw::fuzz::QuietSmallPlanes(size_t{1} << 24);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::LoadResult r = fw::ReadAniMemory(data, size);
  if (r.status == 0) return 0;
  const fw::AnimHeader& doc = *r.document;
  if (doc.frameCount < 1) std::abort();
  for (const fw::ImageBlock* f = fw::FirstImage(&doc); f; f = fw::NextImage(f))
    if (f->width > doc.screenWidth || f->height > doc.screenHeight || f->delay < 0) std::abort();
  return 0;
}
