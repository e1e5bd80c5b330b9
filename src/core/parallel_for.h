#pragma once
// Runs independent pieces of work on the machine's cores. The calling thread takes part, so
// one core (or one piece) costs no thread at all.
#include <cstddef>
#include <functional>

namespace fw {

// Threads worth starting for `pieces` pieces of work: at most one per core.
int ParallelThreads(size_t pieces);

// Calls work(i) for every i in [0, count), spread over ParallelThreads(count) threads; returns
// when all have finished. `work` must not throw.
void ParallelFor(size_t count, const std::function<void(size_t)>& work);

}  // namespace fw
