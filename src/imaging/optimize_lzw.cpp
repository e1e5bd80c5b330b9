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

// The rules settling weighs: kEveryLzwRule. Rule 3 (a full table kept a quarter of its fill,
// unguarded) never saved more than 0.07% over the others on any file we tried, while measuring
// it took a sixth of settling's time.
constexpr int kRulesTried[] = {0, 1, 2, 4, 5};
static_assert(kEveryLzwRule == (1u << 0 | 1u << 1 | 1u << 2 | 1u << 4 | 1u << 5));

// Frames every rule is weighed on, by their place among the frames settled together: the first
// few, then one in eight. The frames between them try the rules that won near them.
constexpr size_t kFirstSampled = 4, kSampleEvery = 8;
bool SampledForRules(size_t frame) { return frame < kFirstSampled || frame % kSampleEvery == 0; }

// Whether a frame's size differs from its neighbour's enough to be weighed on its own (a cut, a
// sudden change): it may well favour another rule.
bool SizeStandsOut(int64_t bytes, int64_t near) {
  return bytes >= 0 && near >= 0 && std::abs(bytes - near) > std::min(bytes, near) / 16;
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
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    f->lzwClearRule = on ? kInterimRule : 0;
    f->narrowLzwCodes = on;
  }
}

std::vector<uint8_t> LzwStreamChoices(const AnimHeader& document) {
  std::vector<uint8_t> choices;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    choices.push_back(static_cast<uint8_t>(f->lzwClearRule | f->narrowLzwCodes << 7));
  return choices;
}

SettledRule SettleFrameRule(ImageBlock& frame, unsigned rulesToTry, int64_t heldBytes) {
  // Neighbouring frames tend to favour the same rule. Measured first, it lets the others
  // stop early, as soon as they reach its size; the choice does not depend on the order.
  thread_local int likely = 0;
  SettledRule settled;
  if (const std::vector<uint8_t>* kept = KeptLzwDataOfEveryRule(frame, FrameMinCodeSize(frame))) {
    frame.lzwClearRule = 0;
    settled.bytes = static_cast<int64_t>(kept->size());
    return settled;
  }
  // The rule the frame holds may have been measured already (by the image steps); the others
  // are measured from the fill on. The data of the one measured smallest here is kept.
  const int held = heldBytes >= 0 ? frame.lzwClearRule : -1;
  // Nothing to weigh: the held rule is the only one to try, and its bytes are known. (Data
  // kept for that rule alone means its table filled: a table that never fills is named
  // rule 0 below.)
  if (held >= 0 && (rulesToTry & ~(1u << held)) == 0 && KeptLzwData(frame, FrameMinCodeSize(frame)))
    return {held, heldBytes, true};
  MemorySink shared, rest;
  const int64_t whole = RulesShareUpToFill(frame, shared);
  frame.lzwClearRule = 0;
  // A table that never fills is never cleared: every rule writes the same, and the plain
  // one is named.
  if (whole != 0) {
    settled.bytes = whole;
    if (whole > 0) KeepChosenData(frame, std::move(shared.bytes), rest.bytes);
    return settled;
  }
  const auto bytesUnder = [&](int rule, int64_t giveUpAt, MemorySink& data) {
    if (rule != held) return RuleBytesFromFill(data, rule, giveUpAt);
    return heldBytes < giveUpAt ? heldBytes : int64_t{-1};
  };
  int chosen = held >= 0 ? held : (rulesToTry >> likely & 1) ? likely : std::countr_zero(rulesToTry);
  int64_t smallest = bytesUnder(chosen, LzwEncoder::kNoLimit, rest);
  if (smallest < 0) return settled;
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
      if (rule != held) rest.bytes.swap(data.bytes);
    }
    spare.swap(data.bytes);
  };
  tryRule(likely);
  for (const int rule : kRulesTried) tryRule(rule);
  likely = chosen;
  frame.lzwClearRule = static_cast<uint8_t>(chosen);
  // The held rule's data, measured before, is kept with the frame already.
  if (chosen != held) KeepChosenData(frame, std::move(shared.bytes), rest.bytes);
  return {chosen, smallest, true};
}

RulesAsMeasured::RulesAsMeasured() : rule_(kInterimRule) {}

void RulesAsMeasured::settle(ImageBlock& frame, MeasuredLzwBytes& measured, LzwRuleVotes& weighed) {
  const auto it = measured.find(&frame);
  if (it == measured.end() || !frame.lzwClearRule) return;
  const int64_t held = it->second;
  const bool sampled = SampledForRules(frames_++);
  if (!sampled && !SizeStandsOut(held, lastBytes_)) {
    lastBytes_ = held;
    return;
  }
  const SettledRule settled = SettleFrameRule(frame, kEveryLzwRule, held);
  lastBytes_ = settled.bytes;
  if (settled.bytes < 0) {
    measured.erase(it);
    return;
  }
  it->second = settled.bytes;
  weighed[&frame] = settled.filled ? static_cast<uint8_t>(1u << settled.rule) : uint8_t{0};
  // A frame that stands out says little about the ones after it.
  if (settled.filled && sampled) rule_ = static_cast<uint8_t>(settled.rule);
}

MeasuredLzwBytes SettleLzwClearing(AnimHeader& document, const MeasuredLzwBytes& known, const LzwRuleVotes& weighed) {
  // Frames with a rule to settle and frames already weighed (which only vote), in order.
  std::vector<ImageBlock*> frames;
  MeasuredLzwBytes measured;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    if (const auto it = known.find(f); it != known.end()) measured.emplace(f, it->second);
    if (f->lzwClearRule || weighed.count(f)) frames.push_back(f);
  }
  std::vector<uint8_t> votes(frames.size(), 0);
  std::vector<SettledRule> result(frames.size());
  const auto heldBytes = [&](size_t i) {
    const auto it = known.find(frames[i]);
    return it != known.end() ? it->second : int64_t{-1};
  };
  const auto settleAll = [&](const std::vector<size_t>& which, auto rulesOf) {
    uint64_t pixels = 0;
    for (const size_t i : which) pixels += frames[i]->pixelCount();
    ParallelForPixels(which.size(), pixels, [&](size_t k) {
      const size_t i = which[k];
      result[i] = SettleFrameRule(*frames[i], rulesOf(i), heldBytes(i));
    });
  };
  // The frames of one stretch of an animation tend to favour the same rules: every rule is
  // weighed on a few frames, and the frames between them try the rules that won on those
  // nearby, unless they were measured with one of them. Frames the image steps
  // measured were sampled there. Which frames try what depends on nothing but their place, so
  // the result is the same on any number of threads.
  std::vector<size_t> sampled, between;
  for (size_t i = 0; i < frames.size(); ++i) {
    if (const auto it = weighed.find(frames[i]); it != weighed.end()) {
      votes[i] = it->second;
    } else if (heldBytes(i) < 0 && SampledForRules(i)) {
      sampled.push_back(i);
    } else {
      between.push_back(i);
    }
  }
  settleAll(sampled, [](size_t) { return kEveryLzwRule; });
  for (const size_t i : sampled)
    if (result[i].filled) votes[i] = static_cast<uint8_t>(1u << result[i].rule);
  settleAll(between, [&](size_t i) {
    unsigned rules = 0;
    const size_t from = i > kSampleEvery ? i - kSampleEvery : 0, to = std::min(frames.size() - 1, i + kSampleEvery);
    for (size_t k = from; k <= to; ++k) rules |= votes[k];
    // A frame measured with a rule that won nearby keeps it: trying the other winners too
    // changed files by a few bytes in a million, for up to a fifth of the optimizer's time.
    const unsigned held = 1u << frames[i]->lzwClearRule;
    if (heldBytes(i) >= 0 && (rules & held)) return held;
    // A stretch where no table filled names no rule: then every rule is tried.
    return rules ? rules : kEveryLzwRule;
  });
  for (const std::vector<size_t>* settled : {&sampled, &between})
    for (const size_t i : *settled) {
      if (result[i].bytes >= 0) {
        measured[frames[i]] = result[i].bytes;
      } else {
        measured.erase(frames[i]);
      }
    }
  return measured;
}

}  // namespace fw
