#pragma once
// How the C library's allocator treats the large blocks editing churns through.
#include <cstddef>

namespace fw {

// The large pages the kernel can back anonymous memory with on x86-64.
inline constexpr size_t kHugePageBytes = size_t{2} << 20;

// Frames of a long animation are a few hundred kilobytes each, and the optimizer and the
// codecs allocate and free planes of that size many times a frame. By default such blocks
// are mapped fresh from the system and handed back on release, so every use pays for
// faulting its pages in again; this keeps blocks below 32 MB in the heap and lets freed heap
// memory be reused rather than returned at once. The heap also grows well ahead of its use,
// so that PreferHugePagesBeyond has room to work in. Call once at start-up.
void KeepLargeBlocksForReuse();

// Asks that the heap's untouched memory beyond a block just allocated be backed by 2 MB pages
// when first touched: the next planes then cost one page fault per 2 MB instead of one per
// 4 KB, which counts on a long animation's hundreds of megabytes of planes. Only a hint, and
// nothing at all for blocks outside the heap.
void PreferHugePagesBeyond(const void* block, size_t bytes);

}  // namespace fw
