#pragma once
// Runs independent pieces of work on the machine's cores. The calling thread takes part, so
// one core (or one piece) costs no thread at all.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace fw {

// Threads worth starting for `pieces` pieces of work: at most one per core.
int ParallelThreads(size_t pieces);

// Calls work(i) for every i in [0, count), spread over ParallelThreads(count) threads; returns
// when all have finished. `work` must not throw.
void ParallelFor(size_t count, const std::function<void(size_t)>& work);

// Work on pixels that is too little for this starts no thread: starting one (its stack, its
// heap arena) costs more than the pixels take.
inline constexpr uint64_t kParallelPixels = uint64_t{1} << 20;

// ParallelFor for pieces that work on `pixels` pixels in all: on the calling thread alone
// when they are fewer than kParallelPixels.
void ParallelForPixels(size_t count, uint64_t pixels, const std::function<void(size_t)>& work);

}  // namespace fw
