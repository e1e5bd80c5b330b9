#include "gif/lzw_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>
#include <mutex>
#include <type_traits>

namespace fw {
namespace {

// How many of the `limit` bytes at p equal the byte repeated in `pattern`.
inline int CountRepeats(const uint8_t* p, int limit, uint64_t pattern) {
  int n = 0;
  if constexpr (std::endian::native == std::endian::little) {
    for (; n + 8 <= limit; n += 8) {
      uint64_t word;
      std::memcpy(&word, p + n, 8);
      if (const uint64_t diff = word ^ pattern) return n + std::countr_zero(diff) / 8;
    }
  }
  while (n < limit && p[n] == static_cast<uint8_t>(pattern)) ++n;
  return n;
}

// Where the table keeps the code of `prefix` followed by `value`. The codes one value follows
// lie side by side: the strings being extended are mostly those made last, and a picture's
// common values are few, so the lookups stay among few cache lines. Keyed by prefix first,
// each lookup of a new string took a line of its own.
inline uint32_t ChildSlot(int prefix, int value) {
  return static_cast<uint32_t>(value) << 12 | static_cast<uint32_t>(prefix);
}

// Runs of one index: for each index X the codes of the runs X, XX, XXX, ... the table holds,
// by length, found while skipping runs. Every shorter run is in the table too, each being the
// prefix of the next, so the code for any length up to the longest is one lookup. Chains from
// before the last table reset are told apart by the generation. One per thread, so that the
// chains' memory is kept from one encoding to the next.
struct RunTable {
  std::vector<uint16_t> chain[256];
  uint32_t generation[256] = {};
  uint32_t current = 0;
};

RunTable& ThreadRunTable() {
  thread_local std::unique_ptr<RunTable> runs(new RunTable);
  return *runs;
}

// Forgets every chain. A generation that came round again would take stale codes for current.
void NextGeneration(RunTable& runs) {
  if (++runs.current == 0) {
    std::fill(std::begin(runs.generation), std::end(runs.generation), 0u);
    runs.current = 1;
  }
}

// The measured clear judges the full table over this many codes at a time, and clears when
// they cost this much more per pixel than the fresh table's fill did.
constexpr int kJudgedCodes = 256;

// How long each rule keeps a full table, in parts of the stretch that filled it (a table
// built on content still near is worth more than a fresh one for a while), and whether it
// clears earlier when the full table codes worse than the fresh one did.
struct ClearRule {
  double keepFor;
  bool guarded;
};
constexpr ClearRule kClearRules[kLzwClearRules] = {
    {0, false}, {0.25, true}, {0.5, true}, {0.25, false}, {0.5, false}, {1e9, true},
};

// Longer than any run of one index the 4096-code table can hold.
constexpr int kMaxRunLength = 4096;

struct Skip {
  int pixels;  // covered after x
  int code;    // the string they end
};

// The string has just restarted at row[x] = c and at least eight more c follow. The plain
// loop would climb the table one pixel at a time along the run codes it already has; this
// goes straight to the code it would end on. Out of line, and answering by value, so that
// the encoding loop keeps its variables in registers.
[[gnu::noinline]] Skip SkipRun(RunTable& runs, const uint16_t* child, const uint8_t* row, int x, int width,
                               int c) {
  std::vector<uint16_t>& chain = runs.chain[c];
  if (runs.generation[c] != runs.current) {
    runs.generation[c] = runs.current;
    chain.assign(1, static_cast<uint16_t>(c));
  }
  const uint64_t pattern = 0x0101010101010101ull * static_cast<uint8_t>(c);
  // No run in the table is longer than the table has codes, so looking further ahead than
  // that cannot change the answer; without the bound a very wide row of one index would be
  // rescanned to its end for every run (quadratic in the row's width).
  const int lookAhead = std::min(width - x - 9, kMaxRunLength);
  const size_t available = static_cast<size_t>(1 + 8 + CountRepeats(row + x + 9, lookAhead, pattern));  // from x
  // Longer runs learned since the last visit.
  while (chain.size() < available) {
    const int longer = child[ChildSlot(chain.back(), c)];
    if (!longer) break;
    chain.push_back(static_cast<uint16_t>(longer));
  }
  const size_t length = std::min(chain.size(), available);
  return {static_cast<int>(length) - 1, chain[length - 1]};
}

// The part of a skipped run no pixel's other value could have turned elsewhere: where the
// table has no string for the run so far followed by that value, the choosing encoder keeps
// to the run, as the skip does. Those lookups do not depend on one another, unlike the climb
// pixel by pixel.
Skip UnchallengedPart(const std::vector<uint16_t>& chain, const uint16_t* child, const uint8_t* other,
                      int x, int c, Skip skip) {
  for (int j = 1; j <= skip.pixels; ++j) {
    const int o = other[x + j];
    if (o != c && child[ChildSlot(chain[static_cast<size_t>(j - 1)], o)])
      return {j - 1, chain[static_cast<size_t>(j - 1)]};
  }
  return skip;
}

// Encoders of threads that have ended, handed to the threads that start next: each parallel
// loop starts its own threads, and a new encoder's table would be fresh memory for every one
// of them. A kept encoder's table is clean, since every encode that ends resets it.
class SpareEncoders {
 public:
  std::unique_ptr<LzwEncoder> take() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (spares_.empty()) return std::make_unique<LzwEncoder>();
    std::unique_ptr<LzwEncoder> encoder = std::move(spares_.back());
    spares_.pop_back();
    return encoder;
  }
  void give(std::unique_ptr<LzwEncoder> encoder) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (encoder && encoder->idle() && spares_.size() < kKept) spares_.push_back(std::move(encoder));
  }

 private:
  static constexpr size_t kKept = 16;
  std::mutex mutex_;
  std::vector<std::unique_ptr<LzwEncoder>> spares_;
};

// Never destroyed: threads hand their encoders back as they end, the main thread's at exit.
SpareEncoders& Spares() {
  static SpareEncoders* const spares = new SpareEncoders;
  return *spares;
}

struct ThreadEncoder {
  std::unique_ptr<LzwEncoder> encoder = Spares().take();
  ~ThreadEncoder() { Spares().give(std::move(encoder)); }
};

}  // namespace

LzwEncoder& ThreadLzwEncoder() {
  thread_local ThreadEncoder mine;
  return *mine.encoder;
}

bool LzwEncoder::flushBytes(bool final) {
  // Whole 254-byte sub-blocks go out; a short tail waits unless this is the end.
  int blocks = flatSize_ / kSubBlock;
  int tail = flatSize_ - blocks * kSubBlock;
  if (final && tail > 0) {
    ++blocks;
  }
  uint8_t* out = packets_;
  const uint8_t* in = flat_;
  size_t written = 0;
  for (int b = 0; b < blocks; ++b) {
    const int n = (final && b == blocks - 1 && tail > 0) ? tail : kSubBlock;
    *out++ = static_cast<uint8_t>(n);
    std::memcpy(out, in, static_cast<size_t>(n));
    out += n;
    in += n;
    written += static_cast<size_t>(n) + 1;
  }
  if (written && !sink_->write(packets_, written)) failed_ = true;
  const int consumed = static_cast<int>(in - flat_);
  flushedBytes_ += consumed;
  std::memmove(flat_, in, static_cast<size_t>(flatSize_ - consumed));
  flatSize_ -= consumed;
  return !failed_;
}

inline bool LzwEncoder::emitCode(int code) {
  acc_ |= static_cast<uint64_t>(code) << accBits_;
  accBits_ += width_;
  if (accBits_ >= 32) {
    const uint32_t word = static_cast<uint32_t>(acc_);
    std::memcpy(flat_ + flatSize_, &word, 4);
    flatSize_ += 4;
    acc_ >>= 32;
    accBits_ -= 32;
    if (flatSize_ >= kSubBlock * kBlocksPerFlush) flushBytes(false);
  }
  if (nextFree_ > largest_ || clearPending_) {
    if (clearPending_) {
      width_ = initialBits_;
      largest_ = (1 << width_) - 1;
      clearPending_ = false;
    } else {
      ++width_;
      largest_ = width_ == 12 ? 4096 : (1 << width_) - 1;
    }
  }
  return !failed_;
}

void LzwEncoder::noteClear(int64_t pixel) {
  clearPixel_ = pixel;
  clearBits_ = bitsWritten();
  full_ = false;
}

bool LzwEncoder::fullTableShouldClear(int64_t pixel) {
  const int64_t bits = bitsWritten();
  if (!full_) {
    full_ = true;
    freshRate_ = static_cast<double>(bits - clearBits_) / static_cast<double>(std::max<int64_t>(1, pixel - clearPixel_));
    fillPixels_ = pixel - clearPixel_;
    windowCodes_ = 0;
    windowPixel_ = pixel;
    windowBits_ = bits;
    return false;
  }
  const ClearRule& rule = kClearRules[rule_];
  if (static_cast<double>(pixel - clearPixel_ - fillPixels_) > rule.keepFor * static_cast<double>(fillPixels_))
    return true;
  if (!rule.guarded || ++windowCodes_ < kJudgedCodes) return false;
  const double rate =
      static_cast<double>(bits - windowBits_) / static_cast<double>(std::max<int64_t>(1, pixel - windowPixel_));
  windowCodes_ = 0;
  windowPixel_ = pixel;
  windowBits_ = bits;
  return rate > freshRate_;
}

bool LzwEncoder::encode(ByteSink& sink, const IndexedImage& image, int width, int height, bool interlaced,
                        int minCodeSize, int clearRule, int64_t giveUpAt) {
  return encodeRows(sink, image, nullptr, width, height, interlaced, minCodeSize, clearRule, giveUpAt);
}

bool LzwEncoder::encodeChoosing(ByteSink& sink, IndexedImage& image, const IndexedImage& alternatives, int width,
                                int height, bool interlaced, int minCodeSize, int clearRule, int64_t giveUpAt) {
  if (alternatives.width < width || alternatives.height < height ||
      alternatives.pixels.size() < alternatives.stride() * static_cast<size_t>(std::max(height, 0)))
    return false;
  return encodeRows(sink, image, &alternatives, width, height, interlaced, minCodeSize, clearRule, giveUpAt);
}

bool LzwEncoder::recalled(int code, int x, int& length) const {
  const Reached& r = reached_[ReachedSlot(code, x)];
  if (r.generation != reachGeneration_ || r.x != x || r.code != code) return false;
  length = r.length;
  return true;
}

void LzwEncoder::remember(int code, int x, int length) const {
  reached_[ReachedSlot(code, x)] = {reachGeneration_, x, static_cast<uint16_t>(code), static_cast<uint16_t>(length)};
}

void LzwEncoder::forgetReached() {
  if (++reachGeneration_ == 0) {
    reached_.fill({});
    reachGeneration_ = 1;
  }
}

int LzwEncoder::reachFromTop(int code, const uint8_t* row, const uint8_t* other, int x, int width,
                             int stopAbove) const {
  int length;
  if (recalled(code, x, length)) return length;
  int budget = kReachBudget;
  length = reach(code, row, other, x, width, budget, stopAbove);
  if (length <= stopAbove) remember(code, x, length);
  return length;
}

bool LzwEncoder::reachesFurther(int code, int otherCode, const uint8_t* row, const uint8_t* other, int x,
                                int width) const {
  // Where either string stops at once, the other reaches further or not without a search.
  if (!extends(otherCode, row, other, x, width)) return false;
  if (!extends(code, row, other, x, width)) return true;
  const int own = reachFromTop(code, row, other, x, width, kNoStop);
  // No string can grow past the row's end.
  if (own >= width - x) return false;
  return reachFromTop(otherCode, row, other, x, width, own) > own;
}

int LzwEncoder::chooseStart(uint8_t* row, const uint8_t* other, int x, int width) const {
  const int c = row[x], o = other[x];
  if (o == c || !reachesFurther(c, o, row, other, x + 1, width)) return c;
  row[x] = static_cast<uint8_t>(o);
  return o;
}

bool LzwEncoder::extends(int code, const uint8_t* row, const uint8_t* other, int x, int width) const {
  if (x >= width) return false;
  const uint16_t* child = child_.data();
  return child[ChildSlot(code, row[x])] || child[ChildSlot(code, other[x])];
}

int LzwEncoder::reach(int code, const uint8_t* row, const uint8_t* other, int x, int width, int& budget,
                      int stopAbove) const {
  const uint16_t* child = child_.data();
  int length = 0;
  for (; x < width && budget > 0; ++x, --budget) {
    const int own = child[ChildSlot(code, row[x])];
    const int alternative = other[x] != row[x] ? child[ChildSlot(code, other[x])] : 0;
    if (own && alternative) {
      // A search the budget cut short is remembered as well: the next pixels ask exactly these
      // questions again, and searching afresh from there each time spent most of the
      // look-ahead's time to find about as much. One stopped past `further` is only a bound.
      const int further = stopAbove - length - 1;
      // A branch point takes a step of the budget too, which so bounds the pixels a search
      // visits however the table branches.
      --budget;
      // A string the table cannot extend at the next pixel reaches no further: most are, in
      // detailed pictures, and answering that here spares a call.
      const int viaOwn =
          extends(own, row, other, x + 1, width) ? reach(own, row, other, x + 1, width, budget, further) : 0;
      if (viaOwn > further) return length + 1 + viaOwn;
      remember(own, x + 1, viaOwn);
      // With no budget left the alternative is not looked at, and nothing is known of it.
      if (budget <= 0) return length + 1 + viaOwn;
      const int viaAlternative = extends(alternative, row, other, x + 1, width)
                                     ? reach(alternative, row, other, x + 1, width, budget, further)
                                     : 0;
      if (viaAlternative <= further) remember(alternative, x + 1, viaAlternative);
      return length + 1 + std::max(viaOwn, viaAlternative);
    }
    if (!own && !alternative) break;
    code = own ? own : alternative;
    if (++length > stopAbove) break;
  }
  return length;
}

void LzwEncoder::begin(ByteSink& sink, int minCodeSize, int clearRule, int64_t giveUpAt) {
  // An encode cut short by an exception left its entries behind.
  if (!idle()) child_.zeroAll();
  giveUpBits_ = giveUpAt > kNoLimit / 8 ? kNoLimit : giveUpAt * 8;
  gaveUp_ = false;
  sink_ = &sink;
  rule_ = clearRule > 0 && clearRule < kLzwClearRules ? clearRule : 0;
  filled_ = false;
  flushedBytes_ = 0;
  failed_ = false;
  acc_ = 0;
  accBits_ = 0;
  flatSize_ = 0;
  initialBits_ = minCodeSize + 1;
  width_ = initialBits_;
  largest_ = (1 << width_) - 1;
  clear_ = 1 << minCodeSize;
  nextFree_ = clear_ + 2;
  clearPending_ = false;
  // Room for every byte value whatever the code size: a pixel beyond it must not reach past
  // the table.
  child_.growZeroed(size_t{4096} << 8);
  NextGeneration(ThreadRunTable());
}

void LzwEncoder::resetTable() {
  for (int c = clear_ + 2; c < nextFree_; ++c) child_[slotOfCode_[c]] = 0;
  nextFree_ = clear_ + 2;
  NextGeneration(ThreadRunTable());
}

void LzwEncoder::clearFullTable(int64_t pixel) {
  resetTable();
  clearPending_ = true;
  emitCode(clear_);
  noteClear(pixel);
}

// Pixels that may be rewritten are chosen among; read-only ones are encoded as they are.
template <class Image>
LzwEncoder::Stop LzwEncoder::codeRows(Image& image, const IndexedImage* alternatives, int width, int height,
                                      Position& at, bool pauseAtFill) {
  constexpr bool kChoosing = !std::is_const_v<Image>;
  static constexpr int kStart[4] = {0, 4, 2, 1};
  static constexpr int kStep[4] = {8, 8, 4, 2};
  const bool keepsFullTables = rule_ != 0;
  const int64_t giveUpBits = giveUpBits_;
  RunTable& runs = ThreadRunTable();
  uint16_t* const child = child_.data();
  int y = at.y, pass = at.pass, x = at.x, prefix = at.prefix;
  int64_t rowPixel = at.rowPixel;  // stream position of the current row's first pixel
  Stop stop = Stop::kEnd;
  for (;;) {
    auto* const row = image.row(y);
    const uint8_t* other = kChoosing ? alternatives->row(y) : nullptr;
    if constexpr (kChoosing) forgetReached();
    for (; x < width; ++x) {
      const int c = row[x];
      const uint32_t slot = ChildSlot(prefix, c);
      int code = child[slot];
      // Only pixels with two values have a choice to weigh, and only where the table holds the
      // string with the other value: most often it does not, and that is settled here.
      if constexpr (kChoosing) {
        const int o = other[x];
        if (o != c) {
          const int longer = child[ChildSlot(prefix, o)];
          if (longer && (!code || reachesFurther(code, longer, row, other, x + 1, width))) {
            row[x] = static_cast<uint8_t>(o);
            code = longer;
          }
        }
      }
      if (code) {
        prefix = code;
        continue;
      }
      int start = c;
      uint32_t entry = slot;
      if constexpr (kChoosing) {
        if (other[x] != c) {
          start = chooseStart(row, other, x, width);
          entry = ChildSlot(prefix, start);
        }
      }
      emitCode(prefix);
      // The table is about to change: what the look-ahead found no longer holds.
      if constexpr (kChoosing) forgetReached();
      if (nextFree_ < 4096) {
        child[entry] = static_cast<uint16_t>(nextFree_);
        slotOfCode_[nextFree_] = entry;
        ++nextFree_;
      } else {
        if (!filled_ && pauseAtFill) {
          at = {y, pass, x, rowPixel, start};
          return Stop::kPausedAtFill;
        }
        filled_ = true;
        if (!keepsFullTables || fullTableShouldClear(rowPixel + x)) clearFullTable(rowPixel + x);
      }
      prefix = start;

      // A long run of the start value ahead, tested eight pixels at once: rarely true, so
      // next to free for pictures without runs.
      if (x + 8 < width) {
        uint64_t ahead;
        std::memcpy(&ahead, row + x + 1, 8);
        if (ahead == 0x0101010101010101ull * static_cast<uint8_t>(start)) {
          Skip skip = SkipRun(runs, child, row, x, width, start);
          if constexpr (kChoosing) skip = UnchallengedPart(runs.chain[start], child, other, x, start, skip);
          x += skip.pixels;
          prefix = skip.code;
        }
      }
    }
    x = 0;
    rowPixel += width;
    if (bitsWritten() >= giveUpBits) {
      stop = Stop::kGaveUp;
      break;
    }
    // Next row in stream order.
    if (pass < 0) {
      if (++y >= height) break;
    } else {
      y += kStep[pass];
      while (y >= height && ++pass < 4) y = kStart[pass];
      if (pass >= 4) break;
    }
  }
  at.prefix = prefix;
  return stop;
}

bool LzwEncoder::finish(Stop stop, int lastCode) {
  if (stop == Stop::kGaveUp) {
    gaveUp_ = true;
    resetTable();
    sink_ = nullptr;
    return false;
  }
  if (lastCode >= 0) emitCode(lastCode);
  emitCode(clear_ + 1);
  // Last partial byte, then everything still buffered.
  while (accBits_ > 0) {
    flat_[flatSize_++] = static_cast<uint8_t>(acc_);
    acc_ >>= 8;
    accBits_ = accBits_ > 8 ? accBits_ - 8 : 0;
  }
  flushBytes(true);
  resetTable();
  sink_ = nullptr;
  return !failed_;
}

template <class Image>
LzwEncoder::Stop LzwEncoder::encodeFromStart(Image& image, const IndexedImage* alternatives, int width, int height,
                                             bool interlaced, Position& at, bool pauseAtFill) {
  emitCode(clear_);
  noteClear(0);
  at = {0, interlaced ? 0 : -1, 1, 0, image.row(0)[0]};
  return codeRows(image, alternatives, width, height, at, pauseAtFill);
}

template <class Image>
bool LzwEncoder::encodeRows(ByteSink& sink, Image& image, const IndexedImage* alternatives, int width, int height,
                            bool interlaced, int minCodeSize, int clearRule, int64_t giveUpAt) {
  begin(sink, minCodeSize, clearRule, giveUpAt);
  if (width <= 0 || height <= 0) {
    emitCode(clear_);
    return finish(Stop::kEnd, -1);
  }
  Position at;
  const Stop stop = encodeFromStart(image, alternatives, width, height, interlaced, at, false);
  return finish(stop, at.prefix);
}

int64_t LzwEncoder::measureToFill(ByteSink& sink, const IndexedImage& image, int width, int height,
                                  bool interlaced, int minCodeSize) {
  fork_.reset();
  const int64_t before = sink.total();
  if (width <= 0 || height <= 0 || image.width < width || image.height < height)
    return encode(sink, image, width, height, interlaced, minCodeSize) ? sink.total() - before : -1;
  begin(sink, minCodeSize, 0, kNoLimit);
  Position at;
  const Stop stop = encodeFromStart(image, nullptr, width, height, interlaced, at, true);
  if (stop != Stop::kPausedAtFill) return finish(stop, at.prefix) ? sink.total() - before : -1;
  // Kept as it stands just before the first full table's clear decision.
  auto fork = std::make_unique<Fork>();
  fork->image = &image;
  fork->width = width;
  fork->height = height;
  fork->minCodeSize = minCodeSize;
  fork->at = at;
  fork->sinkTotal = sink.total() - before;
  fork->flushedBytes = flushedBytes_;
  fork->acc = acc_;
  fork->accBits = accBits_;
  fork->flatSize = flatSize_;
  std::memcpy(fork->flat, flat_, static_cast<size_t>(flatSize_));
  fork->codeWidth = width_;
  fork->largest = largest_;
  fork->clearBits = clearBits_;
  std::memcpy(fork->slotOfCode, slotOfCode_, sizeof slotOfCode_);
  resetTable();
  sink_ = nullptr;
  fork_ = std::move(fork);
  filled_ = true;
  return 0;
}

int64_t LzwEncoder::measureRuleFromFill(ByteSink& sink, int clearRule, int64_t giveUpAt) {
  if (!fork_) return -1;
  const Fork& f = *fork_;
  const int64_t before = sink.total();
  begin(sink, f.minCodeSize, clearRule, giveUpAt);
  flushedBytes_ = f.flushedBytes;
  acc_ = f.acc;
  accBits_ = f.accBits;
  flatSize_ = f.flatSize;
  std::memcpy(flat_, f.flat, static_cast<size_t>(flatSize_));
  width_ = f.codeWidth;
  largest_ = f.largest;
  std::memcpy(slotOfCode_, f.slotOfCode, sizeof slotOfCode_);
  for (int c = clear_ + 2; c < 4096; ++c) child_[slotOfCode_[c]] = static_cast<uint16_t>(c);
  nextFree_ = 4096;
  clearPixel_ = 0;
  clearBits_ = f.clearBits;
  full_ = false;
  filled_ = true;
  Position at = f.at;
  const int64_t pixel = at.rowPixel + at.x;
  if (rule_ == 0 || fullTableShouldClear(pixel)) clearFullTable(pixel);
  ++at.x;
  const Stop stop = codeRows(*f.image, nullptr, f.width, f.height, at, false);
  return finish(stop, at.prefix) ? f.sinkTotal + (sink.total() - before) : -1;
}

}  // namespace fw
