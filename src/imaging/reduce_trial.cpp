#include "imaging/reduce_trial.h"

#include <new>

#include "core/progress.h"
#include "core/string_table.h"
#include "core/workers.h"
#include "gif/gif_writer.h"

namespace fw {
namespace {

constexpr uint32_t kTrialBit = worker::kReduceTrial;
constexpr int kMeasuringSize = 40113;

bool Cancelled() { return IsCancelled(kTrialBit) != 0; }

}  // namespace

ReduceTrial::ReduceTrial(const AnimHeader& document, ProgressHook* hook) : document_(document), hook_(hook) {}

ReduceTrial::~ReduceTrial() { CancelAndWait(kTrialBit); }

bool ReduceTrial::running() const { return IsRunning(kTrialBit) != 0; }

void ReduceTrial::start(const ReduceColoursChoice& choice, const ColourLocks& locks, std::function<void()> finished) {
  CancelAndWait(kTrialBit);
  copy_.reset();
  size_ = -1;
  failed_ = false;
  choice_ = choice;
  SetRunning(kTrialBit, true);
  StartWorker(kTrialBit,
              [this, choice, locks, finished = std::move(finished)] { run(choice, locks, finished); });
}

void ReduceTrial::run(const ReduceColoursChoice& choice, const ColourLocks& locks,
                      const std::function<void()>& finished) {
  QuietProgressHook quiet;
  std::unique_ptr<Progress> progress = CreateTrialProgress(hook_, quiet, kTrialBit);
  AnimPtr copy;
  int32_t size = -1;
  try {
    copy = ReducedCopy(document_, choice, &locks, progress.get());
    if (copy && !Cancelled()) {
      SetProgressText(progress.get(), MessageText(kMeasuringSize));
      size = EncodedSize(copy.get(), true, progress.get());
    }
  } catch (const std::bad_alloc&) {
    copy.reset();
  }
  CloseProgress(progress.get());

  if (Cancelled()) {
    // Acknowledged: the results are dropped and nothing is reported.
    SetCancel(kTrialBit, false);
  } else {
    failed_ = !copy || size < 0;
    if (failed_) copy.reset();
    copy_ = std::move(copy);
    size_ = copy_ ? size : -1;
    if (finished) finished();
  }
  // Last: whoever waits for the running bit may now read the results or destroy this object.
  SetRunning(kTrialBit, false);
}

void ReduceTrial::cancel() {
  CancelAndWait(kTrialBit);
  copy_.reset();
  size_ = -1;
  failed_ = false;
}

void ReduceTrial::wait(const std::function<void(bool)>& busy) { WaitForWorkers(kTrialBit, busy); }

AnimPtr ReduceTrial::takeCopy() {
  if (running()) return nullptr;
  return std::move(copy_);
}

}  // namespace fw
