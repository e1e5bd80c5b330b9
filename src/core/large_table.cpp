#include "core/large_table.h"

#include <sys/mman.h>

#include <new>

#include "core/heap_tuning.h"

namespace fw {
namespace {

size_t RoundUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

}  // namespace

LargeZeroedBlock::~LargeZeroedBlock() { release(); }

void LargeZeroedBlock::release() {
  if (mapping_) ::munmap(mapping_, mappingSize_);
  mapping_ = data_ = nullptr;
  mappingSize_ = size_ = 0;
}

void LargeZeroedBlock::reset(size_t bytes) {
  release();
  if (bytes == 0) return;
  // A fresh anonymous mapping reads as zero, so nothing is written until the table is used.
  // Blocks of a huge page or more are aligned to one, so that the kernel can back them whole.
  const bool huge = bytes >= kHugePageBytes / 2;
  const size_t rounded = RoundUp(bytes, huge ? kHugePageBytes : 4096);
  const size_t mapped = huge ? rounded + kHugePageBytes : rounded;
  void* mapping = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw std::bad_alloc();
  mapping_ = mapping;
  mappingSize_ = mapped;
  auto start = reinterpret_cast<uintptr_t>(mapping);
  if (huge) {
    start = RoundUp(start, kHugePageBytes);
    // Only a hint: where transparent huge pages are off, the block stays on small pages.
    ::madvise(reinterpret_cast<void*>(start), rounded, MADV_HUGEPAGE);
  }
  data_ = reinterpret_cast<void*>(start);
  size_ = bytes;
}

}  // namespace fw
