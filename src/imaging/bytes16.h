#pragma once
// Sixteen pixels at a time, for loops over every pixel of an image whose per-pixel branch would
// mispredict wherever the pixels it tests are scattered. Comparisons give lanes of all ones.
#include <cstdint>
#include <cstring>

namespace fw {

using Bytes16 = uint8_t __attribute__((vector_size(16)));

inline Bytes16 Load16(const uint8_t* p) {
  Bytes16 v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

inline void Store16(uint8_t* p, Bytes16 v) { std::memcpy(p, &v, sizeof v); }

inline int SumLanes(Bytes16 v) {
  int n = 0;
  for (int i = 0; i < 16; ++i) n += v[i];
  return n;
}

// Whether any lane is not zero.
inline bool AnyLane(Bytes16 v) {
  uint64_t half[2];
  std::memcpy(half, &v, sizeof v);
  return (half[0] | half[1]) != 0;
}

// How many of the n bytes at p are 1, the others being 0.
inline int CountOnes(const uint8_t* p, int n) {
  int total = 0, x = 0;
  while (x + 16 <= n) {
    // A lane holds up to 255 before it must be emptied.
    Bytes16 sums{};
    for (int blocks = 0; blocks < 255 && x + 16 <= n; ++blocks, x += 16) sums += Load16(p + x);
    total += SumLanes(sums);
  }
  for (; x < n; ++x) total += p[x];
  return total;
}

// Bit k set where lane k is all ones.
inline uint32_t LaneMask(Bytes16 v) {
  uint32_t mask = 0;
  for (int k = 0; k < 16; ++k) mask |= static_cast<uint32_t>(v[k] & 1) << k;
  return mask;
}

}  // namespace fw
