#include "core/delay_operations.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace fw {
namespace {

double InRange(double delay) { return std::clamp(delay, 0.0, kMaxDelay); }

std::string_view Trimmed(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  if (text.size() > 1 && text.front() == '+' && text[1] != '-') text.remove_prefix(1);
  return text;
}

std::optional<double> ParseNumber(std::string_view text, bool decimals) {
  text = Trimmed(text);
  if (text.empty()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  if (!decimals && text.find('.') != std::string_view::npos) return std::nullopt;
  return value;
}

}  // namespace

double ApplyDelayOperation(DelayOperation operation, double delay, double operand) {
  switch (operation) {
    case DelayOperation::kSet: return InRange(operand);
    case DelayOperation::kAdd: return InRange(delay + operand);
    case DelayOperation::kSubtract: return InRange(delay - operand);
    case DelayOperation::kMultiply: return InRange(delay * std::fabs(operand));
    case DelayOperation::kDivide: return operand == 0 ? 0.0 : InRange(delay * std::fabs(1 / operand));
  }
  return InRange(delay);
}

std::optional<double> ParseDelayOperand(std::string_view text, DelayOperation operation) {
  const bool decimals = operation == DelayOperation::kMultiply || operation == DelayOperation::kDivide;
  return ParseNumber(text, decimals);
}

std::optional<double> ParseDelay(std::string_view text) {
  const std::optional<double> value = ParseNumber(text, false);
  if (!value) return std::nullopt;
  return InRange(*value);
}

int32_t StoredDelay(double delay) { return static_cast<int32_t>(InRange(delay) + 0.5); }

}  // namespace fw
