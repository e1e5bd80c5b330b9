#pragma once
// The operations the timing editor applies to every previewed delay at once, and how an
// edited delay is brought into the range a GIF frame can carry.
#include <cstdint>
#include <optional>
#include <string_view>

namespace fw {

enum class DelayOperation { kSet, kAdd, kSubtract, kMultiply, kDivide };

// A GIF stores a delay in 16 bits.
inline constexpr double kMaxDelay = 65535;

// `delay` after the operation with `operand`: set and add (subtract adds the negated operand)
// stop at 0; multiply and divide use the operand's magnitude, and dividing by 0 gives 0.
// Every result is kept within 0..kMaxDelay.
double ApplyDelayOperation(DelayOperation operation, double delay, double operand);

// The operand typed for an operation: a whole number for set, add and subtract, a decimal
// one as well for multiply and divide. Nothing when the text is not such a number.
std::optional<double> ParseDelayOperand(std::string_view text, DelayOperation operation);

// A typed delay, brought into 0..kMaxDelay. Nothing when the text is not a whole number.
std::optional<double> ParseDelay(std::string_view text);

// The delay a document frame stores for an edited value: the nearest whole number, halves up.
int32_t StoredDelay(double delay);

}  // namespace fw
