#include "gif/byte_sink.h"

#include <cstring>
#include <new>

#include "core/write_failure.h"

namespace fw {

bool MemorySink::store(const void* data, size_t n) {
  try {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

std::unique_ptr<FileSink> FileSink::Create(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return nullptr;
  std::setvbuf(f, nullptr, _IOFBF, 1 << 16);
  return std::unique_ptr<FileSink>(new FileSink(f));
}

FileSink::~FileSink() {
  if (file_) std::fclose(file_);
}

bool FileSink::store(const void* data, size_t n) {
  if (!file_ || failed_) return false;
  if (std::fwrite(data, 1, n, file_) != n) {
    failed_ = true;
    NoteWriteErrno();
  }
  return !failed_;
}

bool FileSink::close() {
  if (!file_) return !failed_;
  if (std::fflush(file_) != 0 && !failed_) {
    failed_ = true;
    NoteWriteErrno();
  }
  if (std::fclose(file_) != 0 && !failed_) {
    failed_ = true;
    NoteWriteErrno();
  }
  file_ = nullptr;
  return !failed_;
}

}  // namespace fw
