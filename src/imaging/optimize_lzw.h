#pragma once
// The optimizer's choice of LZW clear rule, frame by frame.
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "core/anim_document.h"
#include "gif/gif_writer.h"

namespace fw {

// Every frame of the document to be written with a rule that keeps full tables and the
// narrowest code size its indexes allow (or, when off, as Save writes by default) while images
// are optimized, so that the sizes they compare are near what the file will take.
void PreferKeptLzwTables(AnimHeader& document, bool on);
// Each frame's rule and code size choice in order, to tell whether a run changed any.
std::vector<uint8_t> LzwStreamChoices(const AnimHeader& document);
// The clear rules settling weighs, one bit each.
inline constexpr unsigned kEveryLzwRule = 0x37;

struct SettledRule {
  int rule = 0;
  int64_t bytes = -1;   // the frame's data bytes under it; -1 when it could not be encoded
  bool filled = false;  // whether the table filled, so that the rule was chosen at all
};

// The frame takes the rule of `rulesToTry` that writes the fewest bytes (a lower-numbered one on
// a tie; rule 0 where the table never fills) and keeps that rule's data. `heldBytes` are its
// data bytes under the rule it holds when those were measured (else -1), which spares encoding
// it again.
SettledRule SettleFrameRule(ImageBlock& frame, unsigned rulesToTry, int64_t heldBytes);

// The rule that won on each frame that weighed every rule (none where the table never
// filled), one bit.
using LzwRuleVotes = std::unordered_map<const ImageBlock*, uint8_t>;

// The rules of the frames the image steps measure, as they go, in order: every rule is weighed
// on sampled frames and on frames whose size stands out from the one before, and the frames
// between are measured with the rule the last sampled frame chose.
class RulesAsMeasured {
 public:
  RulesAsMeasured();
  // The rule to measure the next frame with.
  uint8_t next() const { return rule_; }
  // Settles a frame measured with next(), whose data bytes `measured` holds (it is left out
  // when they are unknown): where it weighs every rule, it notes the new bytes there and the
  // rule that won in `weighed`.
  void settle(ImageBlock& frame, MeasuredLzwBytes& measured, LzwRuleVotes& weighed);

 private:
  size_t frames_ = 0;
  uint8_t rule_;
  int64_t lastBytes_ = -1;
};

// Each frame that may keep full tables gets the rule that writes the fewest bytes, the plain
// one on a tie, but for the frames in `weighed`, whose rule stands. `known` holds the data
// bytes of frames measured under the rule they hold. Returns the data bytes of every frame
// measured.
MeasuredLzwBytes SettleLzwClearing(AnimHeader& document, const MeasuredLzwBytes& known = {},
                                   const LzwRuleVotes& weighed = {});

}  // namespace fw
