#pragma once
// Background measurements of the current animation (encoded size, colour usage, dialog trial
// runs), started, cancelled and awaited through two process-wide flag words. Workers never
// change block structure; the interface thread cancels or waits before it changes a document
// a worker may be reading.
#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/anim_document.h"

namespace fw {

namespace worker {
inline constexpr uint32_t kSize = 1;
inline constexpr uint32_t kUsage = 2;
inline constexpr uint32_t kOptimizeTrial = 4;
inline constexpr uint32_t kReduceTrial = 8;
inline constexpr uint32_t kSizePlan = 16;
inline constexpr uint32_t kDocument = kSize | kUsage;  // before a document is replaced or closed
}  // namespace worker

// Bit set by the starter before the thread exists, cleared by the worker as its last act.
std::atomic<uint32_t>& WorkerRunningWord();
// Bit set by whoever wants the worker to stop, cleared by the worker when it acknowledges.
std::atomic<uint32_t>& WorkerCancelWord();

uint32_t IsRunning(uint32_t mask);
uint32_t IsCancelled(uint32_t mask);
void SetRunning(uint32_t mask, bool on);
void SetCancel(uint32_t mask, bool on);

// Starts a detached thread on the routine; the caller has set the kind's running bit.
void StartWorker(uint32_t bit, std::function<void()> routine);
// Asks the running workers of the mask to stop and sleeps until they have ended.
void CancelAndWait(uint32_t mask);
// Sleeps until the mask's workers have ended, cancelling nothing; `busy` is told when the
// wait starts (true) and ends (false) so the interface can show a wait cursor.
void WaitForWorkers(uint32_t mask, const std::function<void(bool)>& busy = {});
// Like CancelAndWait, but keeps the interface alive through `pump` while waiting.
void CancelAndWaitPumping(uint32_t mask, const std::function<void()>& pump);

// Where the size worker's result goes (the status bar). Called on the worker's thread:
// an interface must hand the value over to its own thread.
class SizeDisplay {
 public:
  virtual ~SizeDisplay() = default;
  virtual void showCalculating() = 0;
  virtual void showSize(int32_t bytes) = 0;
  // Per-frame encoded bytes are measured after the size only while the display asks for them
  // (any thread may ask); they arrive in document order.
  virtual bool wantsFrameCosts() const { return false; }
  virtual void showFrameCosts(std::vector<int64_t> costs) { (void)costs; }
};

// How the size worker measures (the GIF writer's EncodedSize); installed by the program,
// since the writer lives in a layer above this one.
using EncodedSizeMeasure = int32_t (*)(AnimHeader* document);
void SetEncodedSizeMeasure(EncodedSizeMeasure measure);
// How it measures each frame's bytes; false when `going` said stop.
using FrameCostMeasure = bool (*)(const AnimHeader& document, std::vector<int64_t>& costs,
                                  const std::function<bool()>& going);
void SetFrameCostMeasure(FrameCostMeasure measure);

// Re-measures the document's encoded size in the background (-1 first when invalidating).
void RefreshSize(AnimHeader* document, bool invalidate, SizeDisplay* display);
// Recounts the document's global-palette colour usage in the background.
void RefreshColourUsage(AnimHeader* document);

}  // namespace fw
