#include "gif/byte_source.h"

#include <algorithm>
#include <cstring>
#include <sys/stat.h>

namespace fw {

size_t MemoryByteSource::read(void* out, size_t n) {
  n = std::min(n, size_ - pos_);
  if (n) std::memcpy(out, data_ + pos_, n);
  pos_ += n;
  return n;
}

std::unique_ptr<FileByteSource> FileByteSource::Open(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return nullptr;
  struct stat st;
  if (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode)) {
    std::fclose(f);
    return nullptr;
  }
  return std::unique_ptr<FileByteSource>(new FileByteSource(f, static_cast<int64_t>(st.st_size)));
}

FileByteSource::~FileByteSource() { std::fclose(file_); }

size_t FileByteSource::read(void* out, size_t n) {
  auto* dst = static_cast<uint8_t*>(out);
  size_t done = 0;
  while (done < n) {
    if (bufferPos_ == bufferEnd_) {
      // Large reads bypass the buffer.
      if (n - done >= kBufferSize) {
        const size_t got = std::fread(dst + done, 1, n - done, file_);
        done += got;
        break;
      }
      bufferEnd_ = std::fread(buffer_.data(), 1, kBufferSize, file_);
      bufferPos_ = 0;
      if (bufferEnd_ == 0) break;
    }
    const size_t take = std::min(n - done, bufferEnd_ - bufferPos_);
    std::memcpy(dst + done, buffer_.data() + bufferPos_, take);
    bufferPos_ += take;
    done += take;
  }
  position_ += static_cast<int64_t>(done);
  return done;
}

}  // namespace fw
