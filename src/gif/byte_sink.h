#pragma once
// Output for the writers: a file, a growing memory buffer, or a counter that only measures.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace fw {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  // Adds n to the total in every case; false when the bytes could not be stored.
  bool write(const void* data, size_t n) {
    total_ += static_cast<int64_t>(n);
    return store(data, n);
  }
  bool writeByte(uint8_t b) { return write(&b, 1); }
  bool writeLe16(unsigned v) {
    const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
    return write(b, 2);
  }
  int64_t total() const { return total_; }
  // Adds n bytes measured elsewhere, without their contents: only a counting sink can take
  // them; any other refuses.
  bool writeMeasured(int64_t n) {
    total_ += n;
    return storeMeasured();
  }

 protected:
  virtual bool store(const void* data, size_t n) = 0;
  virtual bool storeMeasured() { return false; }

 private:
  int64_t total_ = 0;
};

class CountingSink : public ByteSink {
 protected:
  bool store(const void*, size_t) override { return true; }
  bool storeMeasured() override { return true; }
};

class MemorySink : public ByteSink {
 public:
  std::vector<uint8_t> bytes;

 protected:
  bool store(const void* data, size_t n) override;
};

class FileSink : public ByteSink {
 public:
  // nullptr when the file cannot be created.
  static std::unique_ptr<FileSink> Create(const std::string& path);
  ~FileSink() override;
  // Flushes and closes; false when anything failed to reach the file.
  bool close();

 protected:
  bool store(const void* data, size_t n) override;

 private:
  explicit FileSink(std::FILE* f) : file_(f) {}
  std::FILE* file_;
  bool failed_ = false;
};

}  // namespace fw
