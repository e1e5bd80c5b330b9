#include "core/display_mask.h"

#include <bit>
#include <cstring>
#include <new>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/preferences.h"

namespace fw {
namespace {

// A word of indexes is read with its first pixel in the lowest byte.
static_assert(std::endian::native == std::endian::little, "the display mask assumes a little-endian machine");

uint32_t PaletteEntry(const ImageBlock& frame, int index) {
  const Palette* palette = frame.activePalette;
  if (!palette || index >= palette->count()) return 0;  // unused table entries are 0
  return ColourEntry((*palette)[index]);
}

void SetTableEntry(ImageBlock& frame, bool dropping) {
  if (!frame.indexedImage || !frame.activePalette) return;
  frame.indexedImage->colourTable[frame.transparentIndex] = TransparentDisplayEntry(frame, dropping);
}

// One mask byte from eight indexes: bit 7 for the first pixel, set where it equals the key.
// Opening a transparent animation builds a mask for every frame, so this runs over every
// pixel read and compares a word of indexes at a time.
inline uint8_t KeyBits(uint64_t indexes, uint64_t keys) {
  constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Fu, kHigh = 0x8080808080808080u;
  const uint64_t diff = indexes ^ keys;  // a zero byte where the pixel is the key
  // The high bit of each byte says "not zero"; the sum cannot carry into the next byte.
  const uint64_t keyed = ~((((diff & kLow7) + kLow7) | diff)) & kHigh;
  // Byte i's flag (bit 8i + 7) moves to bit 63 - i: every product term lands on its own bit,
  // so nothing carries and the top byte holds the flags in pixel order, first pixel highest.
  return static_cast<uint8_t>(((keyed >> 7) * 0x8040201008040201u) >> 56);
}

#if defined(__SSE2__)
// SSE2 gathers a compare's flags first pixel lowest; the mask wants it highest in each byte.
// Swapping halves, then quarters, then neighbours costs no memory, which a lookup table did.
inline uint64_t ReverseBitsInEachByte(uint64_t x) {
  x = ((x >> 4) & 0x0F0F0F0F0F0F0F0Fu) | ((x & 0x0F0F0F0F0F0F0F0Fu) << 4);
  x = ((x >> 2) & 0x3333333333333333u) | ((x & 0x3333333333333333u) << 2);
  return ((x >> 1) & 0x5555555555555555u) | ((x & 0x5555555555555555u) << 1);
}
#endif

// Marks a row's pixels from `x` (a multiple of 8) on. `readable`: the bytes from `src` to
// the end of the plane.
void MarkKeyPixels(const uint8_t* src, size_t n, size_t readable, uint8_t key, uint8_t* dst, size_t x) {
  const uint64_t keys = key * uint64_t{0x0101010101010101u};
#if defined(__SSE2__)
  const __m128i keys16 = _mm_set1_epi8(static_cast<char>(key));
  const auto keyFlags16 = [&](size_t at) {
    const __m128i indexes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + at));
    return static_cast<uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(indexes, keys16))));
  };
  for (; x + 64 <= n; x += 64) {
    const uint64_t flags =
        keyFlags16(x) | keyFlags16(x + 16) << 16 | keyFlags16(x + 32) << 32 | keyFlags16(x + 48) << 48;
    const uint64_t bits = ReverseBitsInEachByte(flags);
    std::memcpy(dst + x / 8, &bits, 8);
  }
  for (; x + 16 <= n; x += 16) {
    const uint16_t bits = static_cast<uint16_t>(ReverseBitsInEachByte(keyFlags16(x)));
    std::memcpy(dst + x / 8, &bits, 2);
  }
#endif
  for (; x + 8 <= n; x += 8) {
    uint64_t indexes;
    std::memcpy(&indexes, src + x, 8);
    dst[x / 8] = KeyBits(indexes, keys);
  }
  if (x < n) {
    // The bits past the width stay clear. A word is loaded when the plane goes on far enough
    // (the next row, or padding); only the plane's last pixels are copied out one by one.
    const size_t rest = n - x;
    uint64_t indexes = 0;
    if (readable - x >= 8) {
      std::memcpy(&indexes, src + x, 8);
    } else {
      std::memcpy(&indexes, src + x, rest);
    }
    dst[x / 8] = static_cast<uint8_t>(KeyBits(indexes, keys) & (0xFF00u >> rest));
  }
}

#if defined(__x86_64__) && defined(__GNUC__)
[[gnu::target("avx2"), gnu::always_inline]] inline uint64_t KeyFlags32(const uint8_t* at, __m256i turn,
                                                                       __m256i keys32) {
  const __m256i indexes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(at));
  const __m256i keyed = _mm256_cmpeq_epi8(_mm256_shuffle_epi8(indexes, turn), keys32);
  return static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(keyed)));
}

// The bits of a 32-pixel mask word (first pixel highest in its byte) for its first `n` pixels.
inline uint32_t FirstPixelsOfWord(size_t n) {
  const unsigned whole = static_cast<unsigned>(n / 8);
  return ((1u << (8 * whole)) - 1) | ((0xFF00u >> (n % 8)) & 0xFFu) << (8 * whole);
}

// With AVX2, each group of eight indexes is turned round before the compare, so the flags come
// out in mask order and 64 pixels take two compares. A row's last few pixels take one more
// compare when the plane goes on far enough to load them as a word: mask rows are whole words.
// Narrow frames are common (sprites, small changed rectangles), so the whole frame is one call
// and a row costs little beyond its compares.
[[gnu::target("avx2")]] void MarkKeyRowsAvx2(const IndexedImage& image, uint8_t key, uint8_t* mask,
                                             size_t maskStride) {
  const __m256i keys32 = _mm256_set1_epi8(static_cast<char>(key));
  const __m256i turn = _mm256_setr_epi8(7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8,  //
                                        7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10, 9, 8);
  const size_t n = static_cast<size_t>(image.width);
  const uint8_t* src = image.pixels.data();
  size_t readable = image.pixels.size();
  for (int y = 0; y < image.height; ++y, src += image.stride(), readable -= image.stride(), mask += maskStride) {
    size_t x = 0;
    for (; x + 64 <= n; x += 64) {
      const uint64_t bits = KeyFlags32(src + x, turn, keys32) | KeyFlags32(src + x + 32, turn, keys32) << 32;
      std::memcpy(mask + x / 8, &bits, 8);
    }
    for (; x + 32 <= n; x += 32) {
      const uint32_t bits = static_cast<uint32_t>(KeyFlags32(src + x, turn, keys32));
      std::memcpy(mask + x / 8, &bits, 4);
    }
    if (x == n) continue;
    if (readable - x >= 32) {
      const uint32_t bits = static_cast<uint32_t>(KeyFlags32(src + x, turn, keys32)) & FirstPixelsOfWord(n - x);
      std::memcpy(mask + x / 8, &bits, 4);
    } else {
      MarkKeyPixels(src, n, readable, key, mask, x);  // the plane's last pixels
    }
  }
}

bool CpuHasAvx2() {
  __builtin_cpu_init();  // this runs among the static constructors, perhaps before the library's own
  return __builtin_cpu_supports("avx2");
}
const bool kHaveAvx2 = CpuHasAvx2();
#endif

void MarkKeyRows(const IndexedImage& image, uint8_t key, uint8_t* mask, size_t maskStride) {
#if defined(__x86_64__) && defined(__GNUC__)
  if (kHaveAvx2) return MarkKeyRowsAvx2(image, key, mask, maskStride);
#endif
  const size_t n = static_cast<size_t>(image.width);
  for (int y = 0; y < image.height; ++y)
    MarkKeyPixels(image.row(y), n, image.pixels.size() - static_cast<size_t>(y) * image.stride(), key,
                  mask + static_cast<size_t>(y) * maskStride, 0);
}

}  // namespace

bool HasDisplayMask(const ImageBlock& frame) { return !frame.maskBitmap.empty(); }

bool MaskIsSet(const ImageBlock& frame, int x, int y) {
  if (!frame.indexedImage || x < 0 || y < 0) return false;
  const IndexedImage& image = *frame.indexedImage;
  if (x >= image.width || y >= image.height) return false;
  const size_t at = static_cast<size_t>(y) * MaskStride(image.width) + static_cast<size_t>(x) / 8;
  if (at >= frame.maskBitmap.size()) return false;
  return (frame.maskBitmap[at] >> (7 - x % 8)) & 1;
}

uint32_t TransparentDisplayEntry(const ImageBlock& frame, bool dropping) {
  const uint32_t preference = Prefs().raw(pref::kStripTransparency);
  const uint32_t mode = preference >> 24;
  if (dropping || mode == 1) return PaletteEntry(frame, frame.transparentIndex);
  // A palette-based screen would need black here; we never draw on one.
  if (mode != 0) {
    const Rgb colour{static_cast<uint8_t>(preference), static_cast<uint8_t>(preference >> 8),
                     static_cast<uint8_t>(preference >> 16)};
    return ColourEntry(colour);
  }
  return kButtonFaceEntry;
}

void DropDisplayMask(ImageBlock& frame) {
  // The table holds the display colour exactly while a mask exists.
  if (frame.maskBitmap.empty()) return;
  SetTableEntry(frame, true);
  std::vector<uint8_t>().swap(frame.maskBitmap);
}

void BuildDisplayMask(ImageBlock& frame) {
  DropDisplayMask(frame);
  if (!frame.transparent() || !frame.indexedImage) return;
  const IndexedImage& image = *frame.indexedImage;
  const size_t stride = MaskStride(image.width);
  if (image.pixels.size() < image.stride() * static_cast<size_t>(image.height)) return;
  try {
    frame.maskBitmap.assign(stride * static_cast<size_t>(image.height), 0);
  } catch (const std::bad_alloc&) {
    return;  // drawn without transparency until the next rebuild
  }
  MarkKeyRows(image, frame.transparentIndex, frame.maskBitmap.data(), stride);
  // The true-colour plane is left alone: drawing goes through the mask, so blacking out its
  // transparent pixels (which a bitwise-OR blit would need) would only lose their colours.
  SetTableEntry(frame, false);
}

void RebuildDisplayMasks(AnimHeader& document) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) BuildDisplayMask(*f);
}

}  // namespace fw
