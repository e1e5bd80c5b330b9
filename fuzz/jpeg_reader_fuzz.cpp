// JPEG input through libjpeg-turbo: a damaged stream must come back as a refusal, never end
// the process or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "fuzz_setup.h"
#include "formats/jpeg_file.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fw::fuzz::QuietSmallPlanes(size_t{1} << 24);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fw::LoadResult r = fw::ReadJpegMemory(data, size);
  if (r.status != 1) return 0;
  const fw::ImageBlock* frame = fw::FirstImage(r.document.get());
  if (!frame || !fw::TrueColourRows(*frame)) std::abort();
  return 0;
}
