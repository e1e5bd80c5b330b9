#include "imaging/fixed_palettes.h"

#include "core/preferences.h"

namespace fw {

std::unique_ptr<Palette> WebPalette() {
  Rgb entries[256] = {};
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        entries[r * 36 + g * 6 + b] = {uint8_t(51 * r), uint8_t(51 * g), uint8_t(51 * b)};
  return Palette::Create(entries, 256);
}

std::unique_ptr<Palette> StoredFixedPalette() {
  PreferenceStore* store = Prefs().store();
  if (!store) return nullptr;
  const auto value = store->binary("FixedPal");
  // A logical-palette record: version and entry count (16 bits each, little-endian), then
  // red, green, blue, flags per entry.
  if (!value || value->size() < 8) return nullptr;
  const std::vector<uint8_t>& v = *value;
  int count = v[2] | v[3] << 8;
  if (count < 1 || count > 256) count = 256;
  if (v.size() < 4 + size_t(count) * 4) return nullptr;
  Rgb entries[256];
  for (int i = 0; i < count; ++i) entries[i] = {v[4 + 4 * size_t(i)], v[5 + 4 * size_t(i)], v[6 + 4 * size_t(i)]};
  return Palette::Create(entries, count);
}

bool StoreFixedPalette(const Palette& palette) {
  PreferenceStore* store = Prefs().store();
  if (!store) return false;
  // Always the full 256 slots, so that the value has one size whatever the entry count.
  std::vector<uint8_t> record(4 + 256 * 4, 0);
  const int count = palette.count();
  record[0] = 0x00;
  record[1] = 0x03;
  record[2] = static_cast<uint8_t>(count & 0xFF);
  record[3] = static_cast<uint8_t>(count >> 8);
  for (int i = 0; i < count; ++i) {
    record[4 + 4 * size_t(i)] = palette[i].r;
    record[5 + 4 * size_t(i)] = palette[i].g;
    record[6 + 4 * size_t(i)] = palette[i].b;
  }
  return store->setBinary("FixedPal", record);
}

}  // namespace fw
