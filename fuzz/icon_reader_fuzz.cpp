// Icon and cursor input: directories, DIB entries with masks and PNG entries, read from any
// bytes. What is read must be writable again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "fuzz_setup.h"
#include "formats/icon_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fw::fuzz::QuietSmallPlanes(size_t{1} << 24);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::LoadResult r = fw::ReadIconMemory(data, size);
  if (r.status == 0) return 0;
  const fw::AnimHeader& doc = *r.document;
  if (doc.frameCount < 1) std::abort();
  for (const fw::ImageBlock* f = fw::FirstImage(&doc); f; f = fw::NextImage(f)) {
    if (f->width > doc.screenWidth || f->height > doc.screenHeight) std::abort();
    if (f->transparent() && (!f->activePalette || f->transparentIndex >= f->activePalette->count())) std::abort();
    // Small images go back out as icon DIBs of the depth the writer would choose.
    if (f->width <= 64 && f->height <= 64 && f->indexedImage) {
      const fw::IconDepth depth = fw::ChooseIconDepth(*f);
      if (fw::MakeIconDib(*f, depth.pixelBits).size() != fw::IconDibSize(fw::PlaneWidth(*f), fw::PlaneHeight(*f), depth.pixelBits))
        std::abort();
    }
  }
  return 0;
}
