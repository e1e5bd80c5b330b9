#include "core/preferences.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "core/picture_limit.h"
#include "core/read_budget.h"

namespace fw {

void Preferences::resetToDefaults() {
  words_.fill(0);
  words_[pref::kDefaultDelay] = 10;
  words_[pref::kFrameSizePolicy] = 32;
  words_[pref::kOptimizeOptions] = 5230;
  words_[pref::kOptionFlags] = 1u << 23;
  words_[pref::kReduceColours] = 7;
  words_[pref::kDownloadSpeed] = 1;
  words_[pref::kPaletteMerge] = 0x880001;
  words_[pref::kUndoLevels] = 20;
  words_[pref::kTimeBase] = 100;
  words_[pref::kSaveAsMemory] = 1;
}

namespace {
constexpr char kPictureLimitName[] = "PictureMegapixels";
constexpr char kDocumentLimitName[] = "DocumentMebipixels";
constexpr int64_t kMega = 1000 * 1000;
constexpr int64_t kMebi = 1024 * 1024;
// A plane is at most 2 GiB (core/indexed_image.h), so a larger picture limit would mean nothing;
// 1 Ti pixels is far beyond any memory a document could have.
constexpr uint32_t kMostPictureMegapixels = 2147;
constexpr uint32_t kMostDocumentMebipixels = 1u << 20;

// A stored limit of whole units, or nothing when it is outside what the program could store.
std::optional<int64_t> StoredLimit(const PreferenceStore& store, const char* name, uint32_t most, int64_t unit) {
  const std::optional<uint32_t> v = store.number(name);
  if (!v || *v == 0 || *v > most) return std::nullopt;
  return int64_t{*v} * unit;
}
}  // namespace

void Preferences::loadReadLimits() {
  // Detaching the store (the end of a batch run, a test) leaves the limits as they are.
  if (!store_) return;
  const PreferenceStore* store = store_->exists() ? store_ : nullptr;
  const auto stored = [&](const char* name, uint32_t most, int64_t unit) {
    return store ? StoredLimit(*store, name, most, unit) : std::nullopt;
  };
  SetPicturePixelLimit(stored(kPictureLimitName, kMostPictureMegapixels, kMega).value_or(kDefaultPicturePixelLimit));
  SetDocumentPixelLimit(stored(kDocumentLimitName, kMostDocumentMebipixels, kMebi).value_or(kDefaultDocumentPixelLimit));
}

int64_t Preferences::picturePixelLimit() { return PicturePixelLimit(); }
int64_t Preferences::documentPixelLimit() { return DocumentPixelLimit(); }

void Preferences::setPicturePixelLimit(int64_t pixels) {
  const uint32_t units = static_cast<uint32_t>(std::clamp<int64_t>(pixels / kMega, 1, kMostPictureMegapixels));
  SetPicturePixelLimit(int64_t{units} * kMega);
  if (store_) store_->setNumber(kPictureLimitName, units);
}

void Preferences::setDocumentPixelLimit(int64_t pixels) {
  const uint32_t units = static_cast<uint32_t>(std::clamp<int64_t>(pixels / kMebi, 1, kMostDocumentMebipixels));
  SetDocumentPixelLimit(int64_t{units} * kMebi);
  if (store_) store_->setNumber(kDocumentLimitName, units);
}


void Preferences::load(PreferenceStore* store) {
  store_ = store;
  resetToDefaults();
  loadReadLimits();
  if (!store || !store->exists()) return;
  if (auto block = store->binary("Pref"); block && block->size() <= kMaxStoredBytes) {
    // Older versions stored fewer words; a short block overwrites only its own length (an
    // empty one nothing: its data pointer may be null).
    const size_t n = std::min(block->size(), sizeof(words_));
    if (n > 0) std::memcpy(words_.data(), block->data(), n);
  }
  // Blocks from versions before the undo setting existed carry no word count.
  if (store->number("NPref").value_or(0) < 13) words_[pref::kUndoLevels] = 100;
  if (words_[pref::kTimeBase] == 0) words_[pref::kTimeBase] = 100;
  if (words_[pref::kSaveAsMemory] == 0) words_[pref::kSaveAsMemory] = 1;
  replaceOutOfRangeWords();
}

namespace {

bool OneOf(uint32_t value, std::initializer_list<uint32_t> allowed) {
  return std::find(allowed.begin(), allowed.end(), value) != allowed.end();
}

// Bits 16-19 and 20-23 of word 10: a colour count as bits per pixel.
bool ColourBits(uint32_t bits) { return bits >= 3 && bits <= 8; }

// What the pages and commands that write each word can give it. A word outside that came
// from another program or a damaged store and would be used blindly (a time base of 1 drops
// every GIF delay below one second; a default delay of 0xFFFFFFFF is -1).
bool InRange(int index, uint32_t v) {
  switch (index) {
    case pref::kDefaultDelay: return v <= 65535;
    case pref::kDefaultLoopCount: return v <= 65536;
    // 0 to 3 are the older encodings read() translates.
    case pref::kFrameSizePolicy: return v <= 3 || OneOf(v & ~pref::kSizeAsk, {pref::kSizeClip, pref::kSizeEnlarge});
    case pref::kStripTransparency: return (v >> 24) <= 2;
    case pref::kDownloadSpeed: return v <= 5;
    case pref::kPaletteMerge:
      // Exactly one method; bits 8 and 9 are the dithering and asking flags.
      return OneOf(v & 0xFCFFu, {1, 2, 4, 8, 16, 1024}) && ColourBits((v >> 16) & 0xF) &&
             ColourBits((v >> 20) & 0xF) && (v >> 24) == 0;
    case pref::kUndoLevels: return v <= 9999;
    // Ticks per second that divide 100 and keep tenths of a second at least.
    case pref::kTimeBase: return OneOf(v, {10, 20, 25, 50, 100});
    // Last Save As type 1 to 10, JPEG quality step 0 (the default) to 10.
    case pref::kSaveAsMemory: return (v & 0xFF) >= 1 && (v & 0xFF) <= 10 && ((v >> 8) & 0xFF) <= 10;
    case pref::kAviFrameRate: return v <= 1000u * 10000u;
    case pref::kTransparentColour: return v <= 0xFFFFFF;
    default: return true;
  }
}

}  // namespace

void Preferences::replaceOutOfRangeWords() {
  Preferences defaults;
  for (int i = 0; i < kWords; ++i)
    if (!InRange(i, words_[static_cast<size_t>(i)])) words_[static_cast<size_t>(i)] = defaults.words_[static_cast<size_t>(i)];
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
