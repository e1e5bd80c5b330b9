#pragma once
// Whole files into memory for the readers that parse from a buffer.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <vector>

#include "core/load_result.h"
#include "core/message_sink.h"

namespace fw {

enum class FileBytesStatus { kOk, kCannotOpen, kTooLarge };

// Reads the file whole; files over `limit` bytes (or that cannot be held) are not read.
FileBytesStatus ReadFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& out);

// Writes `size` bytes as the whole file. A file that cannot be created is reported with its
// name (message 40239); a failed write is only noted (core/write_failure.h), for the save
// step to report under the name the user chose. True when every byte reached the file.
bool WriteFileBytes(const std::string& path, const uint8_t* data, size_t size);

// Runs a parser, turning running out of memory into `noMemoryMessage` and an empty result.
template <typename Parse>
LoadResult ParseWithinMemory(int noMemoryMessage, Parse parse) {
  try {
    return parse();
  } catch (const std::bad_alloc&) {
    ShowMessage(noMemoryMessage);
    return {};
  }
}

// Reads the file whole and parses it: a file that cannot be opened says so with its name
// (message 40236), one too large to hold shows `noMemoryMessage`.
LoadResult ParseWholeFile(const std::string& path, int noMemoryMessage,
                          const std::function<LoadResult(const uint8_t* data, size_t size)>& parse);

}  // namespace fw
