#pragma once
// The 8-bit indexed picture of a frame: a 256-entry colour table and top-down rows whose
// stride is rounded up to four bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

#include "core/heap_tuning.h"
#include "core/palette.h"

namespace fw {

// Bytes per row of an 8-bit plane / a 24-bit plane.
inline constexpr size_t Stride8(int width) { return (static_cast<size_t>(width) + 3) / 4 * 4; }
inline constexpr size_t Stride24(int width) { return (3 * static_cast<size_t>(width) + 3) / 4 * 4; }

// Largest single plane we agree to allocate. Sizes come from files, so they are checked
// against this before any allocation; the fuzzers lower it.
size_t MaxPlaneBytes();
void SetMaxPlaneBytes(size_t bytes);
// True when a plane of height rows of `rowBytes` each may be allocated.
bool PlaneSizeAllowed(size_t rowBytes, size_t height);

// Leaves new bytes uninitialised where std::allocator would zero them: a decoder that writes
// every byte of a plane need not pay for clearing it first. Every other way of sizing a vector
// (assign, or resize with a value) still sets the bytes. Planes are what fills the heap, so
// their allocations are where it is asked for huge pages.
template <typename T>
struct UninitialisedAllocator : std::allocator<T> {
  template <typename U>
  struct rebind {
    using other = UninitialisedAllocator<U>;
  };
  UninitialisedAllocator() = default;
  template <typename U>
  UninitialisedAllocator(const UninitialisedAllocator<U>&) noexcept {}
  T* allocate(size_t n) {
    T* p = std::allocator<T>::allocate(n);
    PreferHugePagesBeyond(p, n * sizeof(T));
    return p;
  }
  template <typename U>
  void construct(U* p) noexcept {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }
};

// An indexed plane's bytes. Sized with resize(n) they are left as they were; say resize(n, 0)
// for cleared ones. Copies are one memcpy: through a custom allocator the library would
// construct them byte by byte, which the optimizer's trial copies of whole frames felt.
class PixelBytes : public std::vector<uint8_t, UninitialisedAllocator<uint8_t>> {
  using Base = std::vector<uint8_t, UninitialisedAllocator<uint8_t>>;

 public:
  using Base::Base;
  PixelBytes() = default;
  PixelBytes(const PixelBytes& other) : Base() { copyFrom(other); }
  PixelBytes(PixelBytes&&) noexcept = default;
  PixelBytes& operator=(const PixelBytes& other) {
    if (this != &other) copyFrom(other);
    return *this;
  }
  PixelBytes& operator=(PixelBytes&&) noexcept = default;
  ~PixelBytes() = default;

 private:
  void copyFrom(const PixelBytes& other) {
    Base::clear();
    Base::resize(other.size());
    if (!other.empty()) std::memcpy(Base::data(), other.data(), other.size());
  }
};

struct IndexedImage {
  int32_t width = 1;   // a frame width of 0 is stored as 1
  int32_t height = 1;  // likewise
  uint16_t bitCount = 8;
  // Entries as stored in a DIB: blue, green, red, 0 (little-endian 0x00RRGGBB).
  std::array<uint32_t, 256> colourTable{};
  PixelBytes pixels;

  size_t stride() const { return Stride8(width); }
  uint8_t* row(int y) { return pixels.data() + static_cast<size_t>(y) * stride(); }
  const uint8_t* row(int y) const { return pixels.data() + static_cast<size_t>(y) * stride(); }
};

inline uint32_t ColourEntry(Rgb c) { return uint32_t(c.b) | uint32_t(c.g) << 8 | uint32_t(c.r) << 16; }
inline Rgb EntryColour(uint32_t e) {
  return {uint8_t(e >> 16), uint8_t(e >> 8), uint8_t(e)};
}

// A zero-filled image of the given size (0 stored as 1) whose colour table is taken from the
// palette (unused entries 0). nullptr when the size is refused or memory runs out.
std::unique_ptr<IndexedImage> AllocIndexedImage(int width, int height, const Palette* palette);
// The same with the pixel bytes left undefined, for a caller that writes every one of them.
std::unique_ptr<IndexedImage> AllocIndexedImageForOverwrite(int width, int height, const Palette* palette);
// Sets every byte of the rows, padding included.
void FillIndexed(IndexedImage& image, uint8_t index);
// The highest index among the first `width` pixels of the first `height` rows (0 when none),
// or, once a row has reached `enough`, the highest so far.
int HighestIndex(const IndexedImage& image, int width, int height, int enough = 255);
void SetColourTable(IndexedImage& image, const Palette* palette);
int WriteColourEntries(IndexedImage& image, int first, int count, const Rgb* entries);
int ReadColourEntries(const IndexedImage& image, int first, int count, Rgb* entries);
// The stored size only; the pixel buffer is not touched.
void SetImageHeaderSize(IndexedImage& image, int width, int height);
std::unique_ptr<IndexedImage> CopyIndexedImage(const IndexedImage& image);

}  // namespace fw
