#include "imaging/optimize_trial.h"

#include <new>

#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "core/undo_history.h"
#include "core/workers.h"
#include "gif/gif_writer.h"
#include "imaging/optimize.h"

namespace fw {
namespace {

constexpr uint32_t kTrialBit = worker::kOptimizeTrial;

bool Cancelled() { return IsCancelled(kTrialBit) != 0; }

}  // namespace

OptimizeTrial::OptimizeTrial(AnimHeader& document, ProgressHook* hook) : document_(document), hook_(hook) {}

OptimizeTrial::~OptimizeTrial() { CancelAndWait(kTrialBit); }

bool OptimizeTrial::running() const { return IsRunning(kTrialBit) != 0; }

void OptimizeTrial::start(uint32_t options, std::function<void(int32_t)> finished) {
  CancelAndWait(kTrialBit);
  copy_.reset();
  size_ = -1;
  outOfMemory_ = false;
  approximated_ = 0;
  SetRunning(kTrialBit, true);
  StartWorker(kTrialBit, [this, options, finished = std::move(finished)] { run(options, finished); });
}

void OptimizeTrial::run(uint32_t options, const std::function<void(int32_t)>& finished) {
  QuietProgressHook quiet;
  std::unique_ptr<Progress> progress = CreateTrialProgress(hook_, quiet, kTrialBit);

  AnimPtr copy;
  int32_t size = -1;
  bool noMemory = false;
  int approximated = 0;
  try {
    SetProgressText(progress.get(), MessageText(optimize_msg::kCopyingAnimation));
    copy = CopyAnimation(document_, progress.get());
    noMemory = !copy && !Cancelled();
    OptimizeOutcome outcome;
    if (copy && !Cancelled()) outcome = OptimizeReporting(*copy, options, progress.get());
    approximated = outcome.approximatedFrames;
    if (copy && !Cancelled()) {
      SetProgressText(progress.get(), MessageText(optimize_msg::kMeasuringSize));
      size = EncodedSizeMeasured(copy.get(), outcome.measured, progress.get());
    }
  } catch (const std::bad_alloc&) {
    copy.reset();
    noMemory = true;
  }
  CloseProgress(progress.get());

  if (Cancelled()) {
    // Acknowledged: the results are dropped and nothing is reported.
    SetCancel(kTrialBit, false);
  } else {
    if (size < 0) copy.reset();
    copy_ = std::move(copy);
    size_ = copy_ ? size : -1;
    outOfMemory_ = noMemory;
    approximated_ = copy_ ? approximated : 0;
    if (finished) finished(size_);
  }
  // Last: whoever waits for the running bit may now read the results or destroy this object.
  SetRunning(kTrialBit, false);
}

void OptimizeTrial::cancel() {
  CancelAndWait(kTrialBit);
  copy_.reset();
  size_ = -1;
}

void OptimizeTrial::wait(const std::function<void(bool)>& busy) { WaitForWorkers(kTrialBit, busy); }

bool OptimizeTrial::copyHasSinglePixelImage() const {
  for (const ImageBlock* f = FirstImage(copy()); f; f = NextImage(f))
    if (f->width == 1 && f->height == 1) return true;
  return false;
}

int OptimizeTrial::copyFrameCount() const { return copy() ? copy()->frameCount : -1; }

bool OptimizeTrial::accept() {
  wait();
  if (!copy_) return false;
  const int32_t before = EncodedSize(&document_, false, nullptr);
  // A result no smaller than the document is no improvement: the document stays as it is.
  if (before >= 0 && size_ >= before) {
    copy_.reset();
    return false;
  }
  ExchangeDocuments(document_, *copy_);
  // The copy now holds the document as it was: exactly what undo restores.
  RecordUndo(undo_kind::kOptimize, document_, std::move(copy_), {}, 0);
  copy_.reset();
  size_ = -1;
  return true;
}

bool OptimizeWithUndo(AnimHeader& document, uint32_t options, Progress* progress) {
  AnimPtr snapshot;
  try {
    if (Prefs().read(pref::kUndoLevels) > 0) snapshot = CopyAnimation(document, nullptr);
  } catch (const std::bad_alloc&) {
    snapshot.reset();
  }
  // Without a snapshot the optimization still runs; it just cannot be undone.
  UndoRecord* record = snapshot ? RecordUndo(undo_kind::kOptimize, document, std::move(snapshot), {}, 0) : nullptr;
  const bool changed = OptimizeNeverLarger(document, options, progress).changed;
  if (!changed) DiscardUndo(record);
  return changed;
}

}  // namespace fw
