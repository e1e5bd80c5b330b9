#include "formats/avi_timing.h"

#include <algorithm>

namespace fw {
namespace {

int Counted(int delay) { return delay < 2 ? 1 : delay; }

}  // namespace

int DelayDivisorFrom(const std::vector<int>& delays, int searchFrom) {
  const int m = Counted(searchFrom);
  for (int i = 1; i <= m / 2; ++i) {
    if (m % i != 0) continue;
    const int candidate = m / i;
    if (std::all_of(delays.begin(), delays.end(), [candidate](int d) { return Counted(d) % candidate == 0; }))
      return candidate;
  }
  return 1;
}

int CommonDelayDivisor(const std::vector<int>& delays) {
  int m = 0;
  for (int d : delays) {
    m = m == 0 ? Counted(d) : std::min(m, Counted(d));
    if (m <= 1) return 1;
  }
  return m == 0 ? 1 : DelayDivisorFrom(delays, m);
}

}  // namespace fw
