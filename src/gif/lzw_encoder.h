#pragma once
// GIF variable-length LZW encoding of a frame's rows into data sub-blocks of 254 bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <memory>
#include <vector>

#include "core/indexed_image.h"
#include "core/large_table.h"
#include "gif/byte_sink.h"

namespace fw {

// Clear rules LzwEncoder::encode knows: 0 to kLzwClearRules - 1.
inline constexpr int kLzwClearRules = 6;

class LzwEncoder {
 public:
  // Writes the LZW data sub-blocks (not the minimum code size byte, not the terminator) for
  // `width` x `height` pixels of `image` in stream order. Every pixel must be below
  // 2^minCodeSize. False when a write failed. Clear rule 0 clears the table the moment it
  // fills, the stream every encoder writes; the others keep a full table (GIF lets a stream go
  // on with all 4096 codes taken and clear later) for a while, some of them clearing sooner
  // when the bits spent per pixel grow worse than the fresh table's were. Which one writes
  // the fewest bytes depends on the pixels: measure. A measurement that only matters when it
  // comes out below some size passes `giveUpAt`: once the data reaches that many bytes the
  // encoder stops, returns false and gaveUp() says so.
  bool encode(ByteSink& sink, const IndexedImage& image, int width, int height, bool interlaced,
              int minCodeSize, int clearRule = 0, int64_t giveUpAt = kNoLimit);
  // The same stream for pixels that may each take one of two values: `image` holds one,
  // `alternatives` (same layout) the other, equal where there is no choice. Each such pixel is
  // rewritten to the value the encoder took, so that encode() on the result writes the same
  // stream. False when a write failed or the alternatives do not cover the image.
  bool encodeChoosing(ByteSink& sink, IndexedImage& image, const IndexedImage& alternatives, int width, int height,
                      bool interlaced, int minCodeSize, int clearRule = 0, int64_t giveUpAt = kNoLimit);
  // Measuring every clear rule of one image: the rules write the same stream until the table
  // first fills, so that stretch is encoded once. measureToFill encodes up to there into
  // `sink` and keeps the encoder's state; it returns 0 when it got there, else the bytes of
  // the whole stream (the table never filled, and every rule writes those bytes) or -1 when it
  // could not encode. measureRuleFromFill then writes the rest of the stream under one rule
  // from the kept state into `sink`, as often as asked: what measureToFill wrote followed by
  // that is what encode() writes for the rule. It returns the bytes of the whole stream, or -1
  // (also when it reached `giveUpAt`). The image must stay as it is between the calls.
  int64_t measureToFill(ByteSink& sink, const IndexedImage& image, int width, int height, bool interlaced,
                        int minCodeSize);
  int64_t measureRuleFromFill(ByteSink& sink, int clearRule, int64_t giveUpAt = kNoLimit);
  // False from the start of an encode until it ends (or pauses at the first fill).
  bool idle() const { return sink_ == nullptr; }
  // Whether the last encode filled the table: only then can the clear rules differ.
  bool filledTable() const { return filled_; }
  // Whether the last encode stopped at its giveUpAt.
  bool gaveUp() const { return gaveUp_; }
  static constexpr int64_t kNoLimit = std::numeric_limits<int64_t>::max();

 private:
  // Where the encoding stands: the row (y, with the interlace pass or -1), the pixel x of it,
  // the stream position of the row's first pixel and the string being extended.
  struct Position {
    int y = 0, pass = -1, x = 0;
    int64_t rowPixel = 0;
    int prefix = 0;
  };
  enum class Stop { kEnd, kGaveUp, kPausedAtFill };
  static constexpr int kSubBlock = 254;
  static constexpr int kBlocksPerFlush = 64;
  // The encoder's state where the table first filled, kept by measureToFill.
  struct Fork {
    const IndexedImage* image = nullptr;
    int width = 0, height = 0, minCodeSize = 0;
    Position at;
    int64_t sinkTotal = 0, flushedBytes = 0, clearBits = 0;
    uint64_t acc = 0;
    int accBits = 0, flatSize = 0, codeWidth = 0, largest = 0;
    uint32_t slotOfCode[4096];
    uint8_t flat[kSubBlock * kBlocksPerFlush + 16];
  };

  template <class Image>
  bool encodeRows(ByteSink& sink, Image& image, const IndexedImage* alternatives, int width, int height,
                  bool interlaced, int minCodeSize, int clearRule, int64_t giveUpAt);
  void begin(ByteSink& sink, int minCodeSize, int clearRule, int64_t giveUpAt);
  template <class Image>
  Stop encodeFromStart(Image& image, const IndexedImage* alternatives, int width, int height, bool interlaced,
                       Position& at, bool pauseAtFill);
  // Codes pixels from `at` to the end of the image, or until the data reaches the give-up
  // size, or (when asked) until the table first fills, leaving `at` where it stopped.
  template <class Image>
  Stop codeRows(Image& image, const IndexedImage* alternatives, int width, int height, Position& at,
                bool pauseAtFill);
  // Ends the stream with `lastCode` (none when negative) and the end code, unless it gave up.
  bool finish(Stop stop, int lastCode);
  void resetTable();
  void clearFullTable(int64_t pixel);
  // How many pixels of the row from x on the table can add to the string `code`, each pixel
  // taking either of its values; the search gives up after `budget` table steps. Once it
  // finds more than `stopAbove` it returns that count at once: the caller only needed to know.
  int reach(int code, const uint8_t* row, const uint8_t* other, int x, int width, int& budget,
            int stopAbove) const;
  // Whether the table holds `code` followed by either value of pixel x.
  bool extends(int code, const uint8_t* row, const uint8_t* other, int x, int width) const;
  // reach() with the whole budget, or what an earlier search from the same code and pixel
  // found while the table and the row stayed as they are.
  int reachFromTop(int code, const uint8_t* row, const uint8_t* other, int x, int width, int stopAbove) const;
  bool recalled(int code, int x, int& length) const;
  void remember(int code, int x, int length) const;
  void forgetReached();
  static size_t ReachedSlot(int code, int x) {
    return (static_cast<size_t>(code) * 0x9E3779B1u + static_cast<size_t>(x)) & (kReachedSlots - 1);
  }
  static constexpr int kNoStop = std::numeric_limits<int>::max() / 2;
  // Whether `otherCode` leads to a longer string than `code` from x on (a tie keeps `code`).
  bool reachesFurther(int code, int otherCode, const uint8_t* row, const uint8_t* other, int x, int width) const;
  // The value a new string starts with at x: the one the next pixels extend further.
  int chooseStart(uint8_t* row, const uint8_t* other, int x, int width) const;
  static constexpr int kReachBudget = 96;
  struct Reached {
    uint32_t generation = 0;
    int32_t x = 0;
    uint16_t code = 0, length = 0;
  };
  static constexpr size_t kReachedSlots = 1024;
  mutable std::array<Reached, kReachedSlots> reached_{};
  uint32_t reachGeneration_ = 1;
  bool emitCode(int code);
  bool flushBytes(bool final);
  int64_t bitsWritten() const { return (flushedBytes_ + flatSize_) * int64_t{8} + accBits_; }
  // Called at each code the full table cannot extend, `pixel` being the stream position
  // reached: whether to clear the table now.
  bool fullTableShouldClear(int64_t pixel);
  void noteClear(int64_t pixel);

  // Child table: code of (prefix, pixel), 0 when absent. Cleared slot by slot on reset.
  LargeTable<uint16_t> child_;
  uint32_t slotOfCode_[4096];

  ByteSink* sink_ = nullptr;
  int initialBits_ = 0, width_ = 0, largest_ = 0, nextFree_ = 0, clear_ = 0;
  bool clearPending_ = false;
  uint64_t acc_ = 0;
  int accBits_ = 0;
  uint8_t flat_[kSubBlock * kBlocksPerFlush + 16];
  int flatSize_ = 0;
  uint8_t packets_[(kSubBlock + 1) * kBlocksPerFlush];
  bool failed_ = false, gaveUp_ = false;
  int64_t giveUpBits_ = 0;
  std::unique_ptr<Fork> fork_;
  int64_t flushedBytes_ = 0;

  // The clear rules' measures: where the table was last cleared, the bits per pixel and the
  // length of the stretch that filled it, and the window of codes coded with the full table
  // being judged.
  int rule_ = 0;
  bool filled_ = false;
  int64_t clearPixel_ = 0, clearBits_ = 0;
  double freshRate_ = 0;
  bool full_ = false;
  int windowCodes_ = 0;
  int64_t windowPixel_ = 0, windowBits_ = 0, fillPixels_ = 0;
};

// The encoder of the calling thread, so concurrent encodes never share tables.
LzwEncoder& ThreadLzwEncoder();

}  // namespace fw
