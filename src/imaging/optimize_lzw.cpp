#include "imaging/optimize_lzw.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <new>

#include "core/parallel_for.h"
#include "gif/byte_sink.h"
#include "gif/gif_writer.h"
#include "gif/kept_lzw.h"
#include "gif/lzw_encoder.h"

namespace fw {
namespace {

// The rule image steps measure with: a fair guess of what settling will pick.
constexpr uint8_t kInterimRule = 2;

// The rules settling weighs. Rule 3 (a full table kept a quarter of its fill, unguarded) never
// saved more than 0.07% over the others on any file we tried, while measuring it took a sixth
// of settling's time.
constexpr int kRulesTried[] = {0, 1, 2, 4, 5};

constexpr unsigned kEveryRule = [] {
  unsigned mask = 0;
  for (const int rule : kRulesTried) mask |= 1u << rule;
  return mask;
}();

// Frames every rule is weighed on: the first few, then one in eight.
constexpr size_t kFirstSampled = 4, kSampleEvery = 8;
bool IsSampled(size_t frame) { return frame < kFirstSampled || frame % kSampleEvery == 0; }

// The rules that won on the sampled frames within a sampling step of `frame`. A stretch where
// no table filled names no rule: then every rule is tried.
unsigned RulesWonNear(const std::vector<uint8_t>& wonBy, size_t frame) {
  unsigned rules = 0;
  const size_t from = frame > kSampleEvery ? frame - kSampleEvery : 0;
  const size_t to = std::min(wonBy.size() - 1, frame + kSampleEvery);
  for (size_t k = from; k <= to; ++k)
    if (IsSampled(k)) rules |= wonBy[k];
  return rules ? rules : kEveryRule;
}

// The clear rules write the same stream until the table first fills: that part is encoded
// once, on the calling thread's encoder, into `shared`, and each rule's bytes are then measured
// from there. Returns 0 when the table filled, else the bytes every rule writes (-1: not
// encodable).
int64_t RulesShareUpToFill(const ImageBlock& frame, ByteSink& shared) {
  if (!frame.indexedImage) return -1;
  try {
    return ThreadLzwEncoder().measureToFill(shared, *frame.indexedImage, frame.width, frame.height,
                                            frame.interlaced(), FrameMinCodeSize(frame));
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

// Bytes of the frame's LZW data under one rule, its data from where the table first filled
// written to `rest`; -1 when it reaches `giveUpAt` bytes.
int64_t RuleBytesFromFill(ByteSink& rest, int rule, int64_t giveUpAt = LzwEncoder::kNoLimit) {
  return ThreadLzwEncoder().measureRuleFromFill(rest, rule, giveUpAt);
}

// The whole stream of the chosen rule, kept with the frame for Save to write as it is.
void KeepChosenData(ImageBlock& frame, std::vector<uint8_t> shared, const std::vector<uint8_t>& rest) {
  try {
    shared.insert(shared.end(), rest.begin(), rest.end());
    KeepLzwData(frame, FrameMinCodeSize(frame), std::move(shared));
  } catch (const std::bad_alloc&) {
    // Save encodes the frame again instead.
  }
}

}  // namespace

void PreferKeptLzwTables(AnimHeader& document, bool on) {
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) f->lzwClearRule = on ? kInterimRule : 0;
}

std::vector<uint8_t> LzwClearRules(const AnimHeader& document) {
  std::vector<uint8_t> rules;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) rules.push_back(f->lzwClearRule);
  return rules;
}

MeasuredLzwBytes SettleLzwClearing(AnimHeader& document, const MeasuredLzwBytes& known) {
  std::vector<ImageBlock*> frames;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->lzwClearRule) frames.push_back(f);
  std::vector<uint8_t> best(frames.size(), 0);
  std::vector<int64_t> bytesOfBest(frames.size(), -1);
  std::vector<MemorySink> shared(frames.size()), rest(frames.size());
  // Whether the chosen rule's data was written here: the whole of it into `shared` (a table that
  // never filled), or into `shared` and `rest`. The held rule's was only counted.
  enum Written : char { kNotWritten, kWhole, kSharedAndRest };
  std::vector<char> written(frames.size(), kNotWritten);
  // The rule that won on a frame; a frame whose table never filled names none.
  std::vector<uint8_t> wonBy(frames.size(), 0);
  const auto settle = [&](size_t i, unsigned rulesToTry) {
    // Neighbouring frames tend to favour the same rule. Measured first, it lets the others
    // stop early, as soon as they reach its size; the choice does not depend on the order.
    thread_local int likely = 0;
    const ImageBlock& f = *frames[i];
    int64_t& smallest = bytesOfBest[i];
    if (const std::vector<uint8_t>* kept = KeptLzwDataOfEveryRule(f, FrameMinCodeSize(f))) {
      smallest = static_cast<int64_t>(kept->size());
      return;
    }
    // The rule the frame holds was measured by the image steps; the others from the fill on.
    // The data of the one measured smallest here is kept.
    const auto measured = known.find(&f);
    const int held = measured != known.end() ? f.lzwClearRule : -1;
    // Nothing to weigh: the held rule is the only one to try, and its bytes are known. (Data
    // kept for that rule alone means its table filled: a table that never fills is named
    // rule 0 below.)
    if (held >= 0 && (rulesToTry & ~(1u << held)) == 0 && KeptLzwData(f, FrameMinCodeSize(f))) {
      best[i] = static_cast<uint8_t>(held);
      smallest = measured->second;
      wonBy[i] = static_cast<uint8_t>(1u << held);
      return;
    }
    const int64_t whole = RulesShareUpToFill(f, shared[i]);
    // A table that never fills is never cleared: every rule writes the same, and the plain
    // one is named.
    if (whole != 0) {
      smallest = whole;
      written[i] = kWhole;
      return;
    }
    const auto bytesUnder = [&](int rule, int64_t giveUpAt, MemorySink& data) {
      if (rule != held) return RuleBytesFromFill(data, rule, giveUpAt);
      return measured->second < giveUpAt ? measured->second : int64_t{-1};
    };
    int chosen = held >= 0 ? held : (rulesToTry >> likely & 1) ? likely : std::countr_zero(rulesToTry);
    smallest = bytesUnder(chosen, LzwEncoder::kNoLimit, rest[i]);
    if (smallest < 0) return;
    written[i] = chosen != held ? kSharedAndRest : kNotWritten;
    // Each rule's data goes to a buffer of the thread's that keeps its memory from one
    // measurement to the next; the chosen one's is exchanged into `rest`.
    thread_local std::vector<uint8_t> spare;
    const auto tryRule = [&](int rule) {
      if (rule == chosen || !(rulesToTry >> rule & 1)) return;
      // A lower-numbered rule wins a tie, so it is measured as far as equalling the best.
      const bool winsTie = rule < chosen;
      MemorySink data;
      data.bytes.swap(spare);
      data.bytes.clear();
      const int64_t bytes = bytesUnder(rule, winsTie ? smallest + 1 : smallest, data);
      if (bytes >= 0 && (bytes < smallest || (winsTie && bytes == smallest))) {
        smallest = bytes;
        chosen = rule;
        written[i] = rule != held ? kSharedAndRest : kNotWritten;
        if (rule != held) rest[i].bytes.swap(data.bytes);
      }
      spare.swap(data.bytes);
    };
    tryRule(likely);
    for (const int rule : kRulesTried) tryRule(rule);
    best[i] = static_cast<uint8_t>(chosen);
    wonBy[i] = static_cast<uint8_t>(1u << chosen);
    likely = chosen;
  };
  // The frames of one stretch of an animation tend to favour the same rules: every rule is
  // weighed on a few frames, and the frames between them try the rules that won on those
  // nearby. Which frames try what depends on nothing but their place, so the result is the
  // same on any number of threads.
  // A frame whose size stands out from its neighbours' (a cut, a sudden change) may well favour
  // another rule than they do: it weighs every rule as well.
  const auto heldBytes = [&](size_t i) {
    const auto it = known.find(frames[i]);
    return it != known.end() ? it->second : int64_t{-1};
  };
  const auto standsOut = [&](size_t i) {
    const int64_t bytes = heldBytes(i);
    for (const size_t k : {i - 1, i + 1}) {
      if (k >= frames.size()) continue;
      const int64_t near = heldBytes(k);
      if (bytes >= 0 && near >= 0 && std::abs(bytes - near) > std::min(bytes, near) / 16) return true;
    }
    return false;
  };
  std::vector<size_t> sampled, between;
  for (size_t i = 0; i < frames.size(); ++i) (IsSampled(i) || standsOut(i) ? sampled : between).push_back(i);
  const auto settleAll = [&](const std::vector<size_t>& which, auto rulesOf) {
    uint64_t pixels = 0;
    for (const size_t i : which) pixels += frames[i]->pixelCount();
    ParallelForPixels(which.size(), pixels, [&](size_t k) { settle(which[k], rulesOf(which[k])); });
  };
  settleAll(sampled, [](size_t) { return kEveryRule; });
  settleAll(between, [&](size_t i) { return RulesWonNear(wonBy, i); });
  MeasuredLzwBytes measured;
  for (size_t i = 0; i < frames.size(); ++i) {
    frames[i]->lzwClearRule = best[i];
    if (bytesOfBest[i] < 0) continue;
    measured.emplace(frames[i], bytesOfBest[i]);
    if (written[i] != kNotWritten) KeepChosenData(*frames[i], std::move(shared[i].bytes), rest[i].bytes);
  }
  return measured;
}

}  // namespace fw
