#pragma once
// Whole files into memory for the readers that parse from a buffer.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fw {

enum class FileBytesStatus { kOk, kCannotOpen, kTooLarge };

// Reads the file whole; files over `limit` bytes (or that cannot be held) are not read.
FileBytesStatus ReadFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& out);

}  // namespace fw
