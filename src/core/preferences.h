#pragma once
// The preference block: nineteen 32-bit words read once at start-up and written back whole
// after every change. Other modules read options by word index and bit.
#include <array>
#include <cstdint>

#include "core/preference_store.h"

namespace fw {

namespace pref {
inline constexpr int kDefaultDelay = 0;
inline constexpr int kDefaultLoopCount = 1;
inline constexpr int kFrameSizePolicy = 2;
inline constexpr int kOptimizeOptions = 5;
inline constexpr int kOptionFlags = 6;
inline constexpr int kStripTransparency = 7;
inline constexpr int kReduceColours = 8;
inline constexpr int kDownloadSpeed = 9;
inline constexpr int kPaletteMerge = 10;
inline constexpr int kPreviewBackground = 11;
inline constexpr int kUndoLevels = 12;
inline constexpr int kFrameTips = 13;
inline constexpr int kTimeBase = 14;
inline constexpr int kMoreFlags = 15;
inline constexpr int kSaveAsMemory = 16;
inline constexpr int kAviFrameRate = 17;
inline constexpr int kTransparentColour = 18;

// Frame-size policy values (word 2).
inline constexpr uint32_t kSizeClip = 16;
inline constexpr uint32_t kSizeEnlarge = 32;
inline constexpr uint32_t kSizeAsk = 4;

// Word 6 bits.
inline constexpr uint32_t kNoSignature = 1u << 3;
inline constexpr uint32_t kInterlaceAllowed = 1u << 24;
inline constexpr uint32_t kKeepTrueColour = 1u << 25;
// Word 15 bits.
inline constexpr uint32_t kLoadTransparentColour = 1u << 5;
}  // namespace pref

class Preferences {
 public:
  static constexpr int kWords = 19;
  static constexpr size_t kMaxStoredBytes = 116;

  Preferences() { resetToDefaults(); }

  void resetToDefaults();
  // Loads the block from the store (defaults where nothing is stored or a word is out of its
  // range). The store is kept and written to by later changes; nullptr detaches it.
  void load(PreferenceStore* store);
  PreferenceStore* store() const { return store_; }

  // Word 2 is read through the translation of older encodings.
  uint32_t read(int index) const;
  uint32_t raw(int index) const { return words_[static_cast<size_t>(index)]; }
  bool bit(int index, uint32_t mask) const { return (raw(index) & mask) != 0; }
  void write(int index, uint32_t value);
  void setBits(int index, uint32_t mask, bool on);

  // Ticks per second of document delays (word 14, never 0).
  int timeBase() const { return words_[pref::kTimeBase] ? static_cast<int>(words_[pref::kTimeBase]) : 100; }

  // How large a single picture, and all the frames of one document, may be when read. Stored as
  // named values beside the block (whole millions, and whole multiples of 2^20, of pixels); the
  // readers use them from the moment they are loaded or set.
  static int64_t picturePixelLimit();
  void setPicturePixelLimit(int64_t pixels);
  static int64_t documentPixelLimit();
  void setDocumentPixelLimit(int64_t pixels);

 private:
  void save();
  // Sets the readers' limits from the store (the defaults where it holds none).
  void loadReadLimits();
  // Words outside what the program itself could have stored get their defaults (in memory
  // only: the store keeps them until preferences are next written).
  void replaceOutOfRangeWords();
  std::array<uint32_t, kWords> words_{};
  PreferenceStore* store_ = nullptr;
};

// The process's preferences. Tests reset them with Prefs().resetToDefaults().
Preferences& Prefs();

}  // namespace fw
