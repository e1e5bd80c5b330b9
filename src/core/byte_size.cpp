#include "core/byte_size.h"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace fw {
namespace {

constexpr double kLargest = 1099511627776.0;  // 2^40

}  // namespace

std::optional<int64_t> ParseByteSize(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  double unit = 1;
  if (!text.empty()) {
    const char last = static_cast<char>(std::toupper(static_cast<unsigned char>(text.back())));
    if (last == 'B' && text.size() > 1 &&
        (std::toupper(static_cast<unsigned char>(text[text.size() - 2])) == 'K' ||
         std::toupper(static_cast<unsigned char>(text[text.size() - 2])) == 'M')) {
      text.remove_suffix(1);  // "500KB" reads as "500K"
    }
  }
  if (!text.empty()) {
    const char last = static_cast<char>(std::toupper(static_cast<unsigned char>(text.back())));
    if (last == 'K') unit = 1024;
    if (last == 'M') unit = 1024.0 * 1024;
    if (unit > 1) text.remove_suffix(1);
  }
  // Digits with at most one decimal point; no sign, exponent or blanks inside.
  double value = 0, scale = 0;
  bool digits = false;
  for (char c : text) {
    if (c == '.' && scale == 0) {
      scale = 1;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      digits = true;
      if (scale > 0) {
        scale /= 10;
        value += (c - '0') * scale;
      } else {
        value = value * 10 + (c - '0');
      }
      if (value * unit > kLargest) return std::nullopt;
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  const double bytes = std::floor(value * unit);
  if (bytes < 1) return std::nullopt;
  return static_cast<int64_t>(bytes);
}

std::string ShortByteSize(int64_t bytes) {
  char text[32];
  if (bytes >= 1024 * 1024)
    std::snprintf(text, sizeof text, "%.1fM", static_cast<double>(bytes) / (1024.0 * 1024));
  else if (bytes >= 1024)
    std::snprintf(text, sizeof text, "%.1fK", static_cast<double>(bytes) / 1024.0);
  else
    std::snprintf(text, sizeof text, "%lld", static_cast<long long>(bytes));
  return text;
}

}  // namespace fw
