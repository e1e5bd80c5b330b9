#include "imaging/transparent_slot.h"

#include <algorithm>

namespace fw {

int UnusedEntry(const EntryUse& use, int count) {
  for (int i = 0; i < std::min(count, 256); ++i)
    if (use[size_t(i)] == 0) return i;
  return -1;
}

int LeastUsedEntry(const EntryUse& use, int count) {
  int least = -1;
  for (int i = 0; i < std::min(count, 256); ++i)
    if (use[size_t(i)] > 0 && (least < 0 || use[size_t(i)] < use[size_t(least)])) least = i;
  return least;
}

int NearestOtherEntry(const Rgb* entries, int count, Rgb colour, int excluded) {
  int best = -1;
  int bestDistance = 0;
  for (int i = 0; i < count; ++i) {
    if (i == excluded) continue;
    const int dr = int(entries[i].r) - colour.r, dg = int(entries[i].g) - colour.g, db = int(entries[i].b) - colour.b;
    const int d = dr * dr + dg * dg + db * db;
    if (best < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  return best < 0 ? excluded : best;
}

}  // namespace fw
