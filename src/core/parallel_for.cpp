#include "core/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>
#include <vector>

namespace fw {

int ParallelThreads(size_t pieces) {
  const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
  return static_cast<int>(std::min<size_t>(cores, std::max<size_t>(pieces, 1)));
}

void ParallelFor(size_t count, const std::function<void(size_t)>& work) {
  std::atomic<size_t> next{0};
  auto run = [&] {
    for (size_t i = next++; i < count; i = next++) work(i);
  };
  std::vector<std::thread> helpers;
  for (int t = 1; t < ParallelThreads(count); ++t) {
    try {
      helpers.emplace_back(run);
    } catch (const std::exception&) {
      break;  // no more threads to be had: the ones running (and this one) do the rest
    }
  }
  run();
  for (std::thread& h : helpers) h.join();
}

void ParallelForPixels(size_t count, uint64_t pixels, const std::function<void(size_t)>& work) {
  if (pixels >= kParallelPixels) {
    ParallelFor(count, work);
    return;
  }
  for (size_t i = 0; i < count; ++i) work(i);
}

}  // namespace fw
