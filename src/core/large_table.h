#pragma once
// Memory for a large table read at random, such as an LZW child table indexed by code and
// pixel. Where the system offers them, it lies on 2 MB pages: one page fault and one TLB entry
// where 4 KB pages would take 512 of each, and an encoder's lookups wander over all of them.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace fw {

class LargeZeroedBlock {
 public:
  LargeZeroedBlock() = default;
  ~LargeZeroedBlock();
  LargeZeroedBlock(const LargeZeroedBlock&) = delete;
  LargeZeroedBlock& operator=(const LargeZeroedBlock&) = delete;

  // Replaces the block with `bytes` zero bytes; throws std::bad_alloc when there is no memory.
  void reset(size_t bytes);
  void* data() const { return data_; }
  size_t size() const { return size_; }

 private:
  void release();
  void* mapping_ = nullptr;
  size_t mappingSize_ = 0;
  void* data_ = nullptr;
  size_t size_ = 0;
};

// A table of `T` (trivially copyable) in such a block, all zero when it grows.
template <typename T>
class LargeTable {
 public:
  size_t size() const { return block_.size() / sizeof(T); }
  T* data() { return static_cast<T*>(block_.data()); }
  const T* data() const { return static_cast<const T*>(block_.data()); }
  T& operator[](size_t i) { return data()[i]; }
  const T& operator[](size_t i) const { return data()[i]; }
  // All zero and `count` long, unless it already is at least that long.
  void growZeroed(size_t count);
  void zeroAll() {
    if (size()) std::memset(data(), 0, size() * sizeof(T));
  }

 private:
  LargeZeroedBlock block_;
};

template <typename T>
void LargeTable<T>::growZeroed(size_t count) {
  if (count > size()) block_.reset(count * sizeof(T));
}

}  // namespace fw
