#include "core/heap_tuning.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>  // defines __GLIBC__ on the GNU C library
#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace fw {
namespace {

constexpr uintptr_t kHugePage = kHugePageBytes;
// Smaller blocks are not worth a system call each.
constexpr size_t kAdvisedBlock = size_t{64} << 10;

uintptr_t HeapEnd() { return reinterpret_cast<uintptr_t>(::sbrk(0)); }

}  // namespace

void KeepLargeBlocksForReuse() {
#if defined(__GLIBC__)
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 128 << 20);
  mallopt(M_TOP_PAD, 64 << 20);
#endif
}

void PreferHugePagesBeyond(const void* block, size_t bytes) {
  if (bytes < kAdvisedBlock) return;
  static const uintptr_t heapStart = HeapEnd();
  const uintptr_t at = reinterpret_cast<uintptr_t>(block);
  const uintptr_t heapEnd = HeapEnd();
  if (at < heapStart || at >= heapEnd) return;
  // The allocator has already written past the block's end, so that 2 MB stays as it is; from
  // the next boundary on, nothing has been touched yet.
  const uintptr_t from = (at + bytes + kHugePage - 1) & ~(kHugePage - 1);
  const uintptr_t to = heapEnd & ~(kHugePage - 1);
  if (to > from) ::madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
}

}  // namespace fw
