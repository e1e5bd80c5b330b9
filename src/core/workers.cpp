#include "core/workers.h"

#include <chrono>
#include <thread>


namespace fw {

namespace {
EncodedSizeMeasure g_measure = nullptr;
FrameCostMeasure g_frameCosts = nullptr;
std::atomic<uint32_t> g_running{0};
std::atomic<uint32_t> g_cancel{0};

void Sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
}  // namespace

void SetEncodedSizeMeasure(EncodedSizeMeasure measure) { g_measure = measure; }
void SetFrameCostMeasure(FrameCostMeasure measure) { g_frameCosts = measure; }

std::atomic<uint32_t>& WorkerRunningWord() { return g_running; }
std::atomic<uint32_t>& WorkerCancelWord() { return g_cancel; }

uint32_t IsRunning(uint32_t mask) { return g_running.load() & mask; }
uint32_t IsCancelled(uint32_t mask) { return g_cancel.load() & mask; }
void SetRunning(uint32_t mask, bool on) { on ? g_running.fetch_or(mask) : g_running.fetch_and(~mask); }
void SetCancel(uint32_t mask, bool on) { on ? g_cancel.fetch_or(mask) : g_cancel.fetch_and(~mask); }

void StartWorker(uint32_t bit, std::function<void()> routine) {
  try {
    std::thread(std::move(routine)).detach();
  } catch (const std::system_error&) {
    // No thread: the measurement is simply not made.
    SetRunning(bit, false);
  }
}

void CancelAndWait(uint32_t mask) {
  const uint32_t running = IsRunning(mask);
  if (!running) return;
  SetCancel(running, true);
  while (IsRunning(running)) Sleep(10);
}

void WaitForWorkers(uint32_t mask, const std::function<void(bool)>& busy) {
  if (!IsRunning(mask)) return;
  if (busy) busy(true);
  while (IsRunning(mask)) Sleep(10);
  if (busy) busy(false);
}

void CancelAndWaitPumping(uint32_t mask, const std::function<void()>& pump) {
  const uint32_t running = IsRunning(mask);
  if (!running) return;
  SetCancel(running, true);
  for (;;) {
    Sleep(3);
    if (!IsRunning(running)) return;
    if (pump) pump();
  }
}

void RefreshSize(AnimHeader* document, bool invalidate, SizeDisplay* display) {
  CancelAndWait(worker::kSize);
  if (display) display->showCalculating();
  if (!document) return;
  if (invalidate) document->encodedSize = -1;
  SetRunning(worker::kSize, true);
  StartWorker(worker::kSize, [document, display] {
    // No progress sink: the measurement cannot be interrupted, a cancel only discards it.
    int32_t size = g_measure ? g_measure(document) : -1;
    if (IsCancelled(worker::kSize)) {
      SetCancel(worker::kSize, false);
      size = -1;
    }
    // Reported before the running bit clears, so that whoever waits for this worker may
    // then safely take the display away.
    if (size != -1 && display) display->showSize(size);
    if (size != -1 && display && g_frameCosts && display->wantsFrameCosts()) {
      std::vector<int64_t> costs;
      if (g_frameCosts(*document, costs, [] { return !IsCancelled(worker::kSize); }))
        display->showFrameCosts(std::move(costs));
      else
        SetCancel(worker::kSize, false);
    }
    SetRunning(worker::kSize, false);
  });
}

void RefreshColourUsage(AnimHeader* document) {
  CancelAndWait(worker::kUsage);
  if (!document) return;
  SetRunning(worker::kUsage, true);
  StartWorker(worker::kUsage, [document] {
    ComputeColourUsage(*document, document->colourUsage.data(), true,
                       [] { return IsCancelled(worker::kUsage) != 0; });
    SetCancel(worker::kUsage, false);
    SetRunning(worker::kUsage, false);
  });
}

}  // namespace fw
