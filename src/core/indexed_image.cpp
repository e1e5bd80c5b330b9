#include "core/indexed_image.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fw {
namespace {
// Planes are addressed with 32-bit sizes in every file format we write.
std::atomic<size_t> g_maxPlaneBytes{size_t{0x7FFFFFFF} - 2048};
}

namespace {
// The optimizer asks for the code size of every candidate frame it measures, so the scan goes
// 16 pixels a step.
uint8_t RowMax(const uint8_t* row, int width) {
  uint8_t m = 0;
  int x = 0;
#if defined(__SSE2__)
  __m128i most = _mm_setzero_si128();
  for (; x + 16 <= width; x += 16)
    most = _mm_max_epu8(most, _mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)));
  most = _mm_max_epu8(most, _mm_srli_si128(most, 8));
  most = _mm_max_epu8(most, _mm_srli_si128(most, 4));
  most = _mm_max_epu8(most, _mm_srli_si128(most, 2));
  most = _mm_max_epu8(most, _mm_srli_si128(most, 1));
  m = static_cast<uint8_t>(_mm_cvtsi128_si32(most));
#endif
  for (; x < width; ++x) m = std::max(m, row[x]);
  return m;
}
}  // namespace

int HighestIndex(const IndexedImage& image, int width, int height, int enough) {
  uint8_t m = 0;
  for (int y = 0; y < height && m < enough; ++y) m = std::max(m, RowMax(image.row(y), width));
  return m;
}

size_t MaxPlaneBytes() { return g_maxPlaneBytes.load(); }
void SetMaxPlaneBytes(size_t bytes) { g_maxPlaneBytes.store(bytes); }

bool PlaneSizeAllowed(size_t rowBytes, size_t height) {
  if (rowBytes == 0 || height == 0) return true;
  return rowBytes <= MaxPlaneBytes() / height;
}

namespace {

std::unique_ptr<IndexedImage> AllocPlane(int width, int height, const Palette* palette, bool cleared) {
  width = std::max(1, std::abs(width));
  height = std::max(1, std::abs(height));
  if (!PlaneSizeAllowed(Stride8(width), static_cast<size_t>(height))) return nullptr;
  try {
    auto image = std::make_unique<IndexedImage>();
    image->width = width;
    image->height = height;
    const size_t bytes = Stride8(width) * static_cast<size_t>(height);
    if (cleared) {
      image->pixels.assign(bytes, 0);
    } else {
      image->pixels.resize(bytes);
    }
    SetColourTable(*image, palette);
    return image;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

std::unique_ptr<IndexedImage> AllocIndexedImage(int width, int height, const Palette* palette) {
  return AllocPlane(width, height, palette, true);
}

std::unique_ptr<IndexedImage> AllocIndexedImageForOverwrite(int width, int height, const Palette* palette) {
  return AllocPlane(width, height, palette, false);
}

void FillIndexed(IndexedImage& image, uint8_t index) {
  std::fill(image.pixels.begin(), image.pixels.end(), index);
}

void SetColourTable(IndexedImage& image, const Palette* palette) {
  image.colourTable.fill(0);
  if (!palette) return;
  for (int i = 0; i < palette->count(); ++i) image.colourTable[i] = ColourEntry((*palette)[i]);
}

int WriteColourEntries(IndexedImage& image, int first, int count, const Rgb* entries) {
  if (first < 0 || first >= 256) return 0;
  count = std::min(count, 256 - first);
  for (int i = 0; i < count; ++i) image.colourTable[first + i] = ColourEntry(entries[i]);
  return count;
}

int ReadColourEntries(const IndexedImage& image, int first, int count, Rgb* entries) {
  if (first < 0 || first >= 256) return 0;
  count = std::min(count, 256 - first);
  for (int i = 0; i < count; ++i) entries[i] = EntryColour(image.colourTable[first + i]);
  return count;
}

void SetImageHeaderSize(IndexedImage& image, int width, int height) {
  image.width = std::max(1, std::abs(width));
  image.height = std::max(1, std::abs(height));
}

std::unique_ptr<IndexedImage> CopyIndexedImage(const IndexedImage& image) {
  try {
    return std::make_unique<IndexedImage>(image);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace fw
