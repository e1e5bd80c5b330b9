#include "imaging/nearest.h"

namespace fw {

NearestResult NearestByDistance(const Rgb* entries, int count, Rgb colour) {
  // Larger than any real distance (3 * 255^2), so the first entry always wins over it.
  int best = 3 * 256 * 256;
  NearestResult result;
  for (int i = 0; i < count; ++i) {
    const int dr = int(entries[i].r) - colour.r;
    const int dg = int(entries[i].g) - colour.g;
    const int db = int(entries[i].b) - colour.b;
    const int d = dr * dr + dg * dg + db * db;
    if (d < best) {
      best = d;
      result.index = i;
      if (d == 0) break;
    }
  }
  result.exact = count > 0 && best == 0;
  return result;
}

RemapTable EmptyRemapTable() {
  RemapTable table;
  table.fill(-1);
  return table;
}

RemapTable BuildRemapTable(const Palette* source, const Rgb* destination, int destinationCount) {
  RemapTable table = EmptyRemapTable();
  if (!source || destinationCount <= 0) return table;
  for (int i = 0; i < source->count(); ++i)
    table[static_cast<size_t>(i)] = static_cast<int16_t>(NearestByDistance(destination, destinationCount, (*source)[i]).index);
  return table;
}

}  // namespace fw
