#include "formats/file_bytes.h"

#include <cstdio>
#include <memory>
#include <new>

#include "core/string_table.h"
#include "core/write_failure.h"

namespace fw {

FileBytesStatus ReadFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& out) {
  out.clear();
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  if (!file) return FileBytesStatus::kCannotOpen;
  // Read in pieces rather than trusting a size from seeking: the file may be a pipe or grow.
  uint8_t buffer[64 * 1024];
  try {
    for (;;) {
      const size_t n = std::fread(buffer, 1, sizeof buffer, file.get());
      if (n == 0) break;
      if (out.size() + n > limit) {
        out.clear();
        return FileBytesStatus::kTooLarge;
      }
      out.insert(out.end(), buffer, buffer + n);
    }
  } catch (const std::bad_alloc&) {
    std::vector<uint8_t>().swap(out);
    return FileBytesStatus::kTooLarge;
  }
  if (std::ferror(file.get())) return FileBytesStatus::kCannotOpen;
  return FileBytesStatus::kOk;
}

LoadResult ParseWholeFile(const std::string& path, int noMemoryMessage,
                          const std::function<LoadResult(const uint8_t* data, size_t size)>& parse) {
  std::vector<uint8_t> bytes;
  const FileBytesStatus status = ReadFileBytes(path, size_t{0x7FFFFFFF}, bytes);
  if (status == FileBytesStatus::kCannotOpen) {
    ShowMessage(msg::kCannotOpenFile, path.c_str());
    return {};
  }
  if (status == FileBytesStatus::kTooLarge) {
    ShowMessage(noMemoryMessage);
    return {};
  }
  return parse(bytes.data(), bytes.size());
}

bool WriteFileBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) {
    ShowMessage(40239, path.c_str());
    return false;
  }
  bool ok = size == 0 || std::fwrite(data, 1, size, file) == size;
  if (!ok) NoteWriteErrno();
  if (std::fclose(file) != 0 && ok) {
    NoteWriteErrno();
    ok = false;
  }
  return ok;
}

}  // namespace fw
