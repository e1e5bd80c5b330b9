#pragma once
// Sequential input for the readers: a file read through a buffer, or bytes in memory.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace fw {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to n bytes; returns how many were read (fewer only at the end or on an error).
  virtual size_t read(void* out, size_t n) = 0;
  virtual int64_t position() const = 0;
  virtual int64_t size() const = 0;

  // One byte, or -1 at the end.
  int readByte() {
    uint8_t b;
    return read(&b, 1) == 1 ? b : -1;
  }
  bool readExact(void* out, size_t n) { return read(out, n) == n; }
};

class MemoryByteSource : public ByteSource {
 public:
  MemoryByteSource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  size_t read(void* out, size_t n) override;
  int64_t position() const override { return static_cast<int64_t>(pos_); }
  int64_t size() const override { return static_cast<int64_t>(size_); }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

class FileByteSource : public ByteSource {
 public:
  // nullptr when the file cannot be opened for reading.
  static std::unique_ptr<FileByteSource> Open(const std::string& path);
  ~FileByteSource() override;
  size_t read(void* out, size_t n) override;
  int64_t position() const override { return position_; }
  int64_t size() const override { return size_; }

 private:
  FileByteSource(std::FILE* file, int64_t size) : file_(file), size_(size), buffer_(kBufferSize) {}
  static constexpr size_t kBufferSize = 64 * 1024;
  std::FILE* file_;
  int64_t size_;
  int64_t position_ = 0;
  std::vector<uint8_t> buffer_;
  size_t bufferPos_ = 0;
  size_t bufferEnd_ = 0;
};

}  // namespace fw
