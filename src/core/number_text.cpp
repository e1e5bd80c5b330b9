#include "core/number_text.h"

namespace fw {

std::string GroupThousands(long long value, char separator) {
  const bool negative = value < 0;
  std::string digits = std::to_string(negative ? -value : value);
  std::string out;
  const int n = static_cast<int>(digits.size());
  for (int i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out.push_back(separator);
    out.push_back(digits[static_cast<size_t>(i)]);
  }
  return negative ? "-" + out : out;
}

}  // namespace fw
