#include "core/palette.h"

#include <algorithm>
#include <new>

namespace fw {

std::unique_ptr<Palette> Palette::Create(const Rgb* entries, int count) {
  if (count < 1 || count > kMaxEntries) return nullptr;
  try {
    std::vector<Rgb> e(static_cast<size_t>(count));
    if (entries) std::copy(entries, entries + count, e.begin());
    return std::unique_ptr<Palette>(new Palette(std::move(e)));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<Palette> Palette::FromTriplets(const uint8_t* rgb, int count) {
  if (count < 1 || count > kMaxEntries) return nullptr;
  Rgb e[kMaxEntries];
  for (int i = 0; i < count; ++i) e[i] = {rgb[3 * i], rgb[3 * i + 1], rgb[3 * i + 2]};
  return Create(e, count);
}

int Palette::readEntries(int first, int n, Rgb* out) const {
  if (first < 0 || first >= count()) return 0;
  n = std::min(n, count() - first);
  std::copy_n(entries_.begin() + first, n, out);
  return n;
}

int Palette::writeEntries(int first, int n, const Rgb* in) {
  if (first < 0 || first >= count()) return 0;
  n = std::min(n, count() - first);
  std::copy_n(in, n, entries_.begin() + first);
  return n;
}

int Palette::nearest(Rgb c) const {
  int best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < count(); ++i) {
    const int dr = entries_[i].r - c.r, dg = entries_[i].g - c.g, db = entries_[i].b - c.b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
      if (d == 0) break;
    }
  }
  return best;
}

std::unique_ptr<Palette> Palette::copy() const { return Create(entries_.data(), count()); }

int PaletteBits(int count) {
  int bits = 1;
  while ((1 << bits) < count && bits < 8) ++bits;
  return bits;
}

}  // namespace fw
