#include "imaging/size_plan_trial.h"

#include "core/progress.h"
#include "core/undo_history.h"
#include "core/workers.h"

namespace fw {
namespace {

constexpr uint32_t kPlanBit = worker::kSizePlan;

}  // namespace

SizePlanTrial::SizePlanTrial(const AnimHeader& document) : document_(document) {}

SizePlanTrial::~SizePlanTrial() { CancelAndWait(kPlanBit); }

bool SizePlanTrial::running() const { return IsRunning(kPlanBit) != 0; }

void SizePlanTrial::start(int64_t targetBytes, std::function<void(const SizeCandidate&)> tried,
                          std::function<void()> finished) {
  CancelAndWait(kPlanBit);
  plan_ = SizePlan{};
  SetRunning(kPlanBit, true);
  StartWorker(kPlanBit, [this, targetBytes, tried = std::move(tried), finished = std::move(finished)] {
    run(targetBytes, tried, finished);
  });
}

void SizePlanTrial::run(int64_t target, const std::function<void(const SizeCandidate&)>& tried,
                        const std::function<void()>& finished) {
  // The progress object only carries the cancel request into the operations.
  QuietProgressHook quiet;
  std::unique_ptr<Progress> progress = CreateProgress(&quiet, progress_flag::kSilent, kPlanBit);
  SizePlan plan = PlanForSize(document_, target, progress.get(), tried);
  if (IsCancelled(kPlanBit)) {
    SetCancel(kPlanBit, false);
  } else {
    plan_ = std::move(plan);
    if (finished) finished();
  }
  // Last: whoever waits for the running bit may now read the result or destroy this object.
  SetRunning(kPlanBit, false);
}

void SizePlanTrial::cancel() {
  CancelAndWait(kPlanBit);
  plan_ = SizePlan{};
}

void SizePlanTrial::wait() { WaitForWorkers(kPlanBit); }

SizePlan::Outcome SizePlanTrial::outcome() const { return running() ? SizePlan::kFailed : plan_.outcome; }
SizeCandidate SizePlanTrial::chosen() const { return running() ? SizeCandidate{} : plan_.chosen; }
int64_t SizePlanTrial::smallest() const { return running() ? -1 : plan_.smallest; }
int SizePlanTrial::triedCount() const { return running() ? 0 : static_cast<int>(plan_.tried.size()); }

bool SizePlanTrial::apply(AnimHeader& document) {
  wait();
  if (plan_.outcome != SizePlan::kFits || !plan_.document) return false;
  ExchangeDocuments(document, *plan_.document);
  // The candidate now holds the document as it was: exactly what undo restores.
  RecordUndo(undo_kind::kSaveForSize, document, std::move(plan_.document), {}, 0);
  document.encodedSize = -1;
  plan_ = SizePlan{};
  return true;
}

}  // namespace fw
