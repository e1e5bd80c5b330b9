#pragma once
// The reduce-colours dialog's trial: Reduce palettes on a private copy of the document on the
// trial worker (worker bit 8), then the copy's encoded size, so the dialog stays responsive
// while it shows what the chosen count and dithering give. A newer trial or the dialog's end
// cancels a running one.
#include <cstdint>
#include <functional>

#include "core/anim_document.h"
#include "imaging/reduce_colours_choice.h"

namespace fw {

class ProgressHook;

class ReduceTrial {
 public:
  // `document` is only read and must not change while a trial runs. `hook` (optional)
  // receives the progress texts (40114, 40113) and bar on the worker's thread.
  explicit ReduceTrial(const AnimHeader& document, ProgressHook* hook = nullptr);
  ReduceTrial(const ReduceTrial&) = delete;
  ReduceTrial& operator=(const ReduceTrial&) = delete;
  ~ReduceTrial();

  // Cancels and waits for a running trial, then starts one. `finished` runs on the worker's
  // thread when the trial ends without being cancelled.
  void start(const ReduceColoursChoice& choice, const ColourLocks& locks, std::function<void()> finished = {});
  // Cancels a running trial, waits for it and drops its result.
  void cancel();
  void wait(const std::function<void(bool)>& busy = {});
  bool running() const;

  // A finished trial's result: the reduced copy (taken once), its encoded size, and whether
  // the copy failed (the message was shown).
  AnimPtr takeCopy();
  int32_t size() const { return running() ? -1 : size_; }
  bool failed() const { return !running() && failed_; }
  const ReduceColoursChoice& choice() const { return choice_; }

 private:
  void run(const ReduceColoursChoice& choice, const ColourLocks& locks, const std::function<void()>& finished);

  const AnimHeader& document_;
  ProgressHook* hook_;
  AnimPtr copy_;
  int32_t size_ = -1;
  bool failed_ = false;
  ReduceColoursChoice choice_{};
};

}  // namespace fw
