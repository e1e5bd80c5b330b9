#pragma once
// How the C library's allocator treats the large blocks editing churns through.

namespace fw {

// Frames of a long animation are a few hundred kilobytes each, and the optimizer and the
// codecs allocate and free planes of that size many times a frame. By default such blocks
// are mapped fresh from the system and handed back on release, so every use pays for
// faulting its pages in again; this keeps blocks below 32 MB in the heap and lets freed heap
// memory be reused rather than returned at once. Call once at start-up.
void KeepLargeBlocksForReuse();

}  // namespace fw
