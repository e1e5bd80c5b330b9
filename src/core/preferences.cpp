#include "core/preferences.h"

#include <cstring>

namespace fw {

void Preferences::resetToDefaults() {
  words_.fill(0);
  words_[pref::kDefaultDelay] = 10;
  words_[pref::kFrameSizePolicy] = 32;
  words_[pref::kOptimizeOptions] = 1134;
  words_[pref::kOptionFlags] = 1u << 23;
  words_[pref::kReduceColours] = 7;
  words_[pref::kDownloadSpeed] = 1;
  words_[pref::kPaletteMerge] = 0x880001;
  words_[pref::kUndoLevels] = 20;
  words_[pref::kTimeBase] = 100;
  words_[pref::kSaveAsMemory] = 1;
}

void Preferences::load(PreferenceStore* store) {
  store_ = store;
  resetToDefaults();
  if (!store || !store->exists()) return;
  if (auto block = store->binary("Pref"); block && block->size() <= kMaxStoredBytes) {
    // Older versions stored fewer words; a short block overwrites only its own length.
    const size_t n = std::min(block->size(), sizeof(words_));
    std::memcpy(words_.data(), block->data(), n);
  }
  // Blocks from versions before the undo setting existed carry no word count.
  if (store->number("NPref").value_or(0) < 13) words_[pref::kUndoLevels] = 100;
  if (words_[pref::kTimeBase] == 0) words_[pref::kTimeBase] = 100;
  if (words_[pref::kSaveAsMemory] == 0) words_[pref::kSaveAsMemory] = 1;
}

uint32_t Preferences::read(int index) const {
  const uint32_t value = raw(index);
  if (index == pref::kFrameSizePolicy) {
    switch (value) {
      case 1: return 36;
      case 2: return 16;
      case 0:
      case 3: return 32;
      default: return value;
    }
  }
  return value;
}

void Preferences::write(int index, uint32_t value) {
  words_[static_cast<size_t>(index)] = value;
  save();
}

void Preferences::setBits(int index, uint32_t mask, bool on) {
  uint32_t value = raw(index);
  value = on ? (value | mask) : (value & ~mask);
  write(index, value);
}

void Preferences::save() {
  if (!store_) return;
  std::vector<uint8_t> block(sizeof(words_));
  std::memcpy(block.data(), words_.data(), block.size());
  // A store that cannot be written loses only this write; the in-memory value stays.
  if (store_->setBinary("Pref", block)) store_->setNumber("NPref", kWords);
}

Preferences& Prefs() {
  static Preferences prefs;
  return prefs;
}

}  // namespace fw
