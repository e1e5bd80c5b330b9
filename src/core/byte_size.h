#pragma once
// File sizes as people type them: "500K", "1.5M", "20000" (K and M count 1024 and 1024 x 1024).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fw {

// Nothing for an empty, negative, zero or malformed size, or one beyond 2^40 bytes.
std::optional<int64_t> ParseByteSize(std::string_view text);

// The short form for a field the user may edit again: "500.0K", "1.5M", or plain bytes below 1K.
std::string ShortByteSize(int64_t bytes);

}  // namespace fw
