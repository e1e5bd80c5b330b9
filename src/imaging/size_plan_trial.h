#pragma once
// Save for size on its own worker (worker bit 16): the planner runs on a document the
// interface thread leaves alone meanwhile, reports each measured candidate, and can be
// cancelled. The chosen candidate replaces the document with one undo step.
#include <cstdint>
#include <functional>

#include "core/anim_document.h"
#include "imaging/size_plan.h"

namespace fw {

class SizePlanTrial {
 public:
  // `document` is only read while a plan runs; the owner must not change it meanwhile.
  explicit SizePlanTrial(const AnimHeader& document);
  SizePlanTrial(const SizePlanTrial&) = delete;
  SizePlanTrial& operator=(const SizePlanTrial&) = delete;
  ~SizePlanTrial();

  // Cancels a running plan, then starts one. `tried` and `finished` run on the worker's thread.
  void start(int64_t targetBytes, std::function<void(const SizeCandidate&)> tried = {},
             std::function<void()> finished = {});
  void cancel();
  void wait();
  bool running() const;
  // A finished plan (outcome kFailed while none has finished).
  SizePlan::Outcome outcome() const;
  SizeCandidate chosen() const;
  int64_t smallest() const;
  int triedCount() const;

  // Exchanges the chosen candidate with `document` (the one given at construction) and records
  // the old one as one undo step. False without a fitting result.
  bool apply(AnimHeader& document);

 private:
  void run(int64_t target, const std::function<void(const SizeCandidate&)>& tried,
           const std::function<void()>& finished);

  const AnimHeader& document_;
  SizePlan plan_;
};

}  // namespace fw
