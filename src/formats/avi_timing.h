#pragma once
// The time unit movie exports share: the largest divisor common to every frame's delay, so
// that each frame lasts a whole number of samples (AVI) or movie frames (SWF).
#include <vector>

namespace fw {

// Delays below 2 count as 1. The candidates are the divisors of `searchFrom`, largest first
// (that is searchFrom itself, then searchFrom / 2 and so on down to 2); the first that divides
// every delay is the answer, else 1.
int DelayDivisorFrom(const std::vector<int>& delays, int searchFrom);
// The same searched from the smallest delay.
int CommonDelayDivisor(const std::vector<int>& delays);

}  // namespace fw
