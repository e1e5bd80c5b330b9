#pragma once
// The optimize dialog's trial: Optimize run on a private copy of the document on the trial
// worker (worker bit 4), so that the dialog can show the size the chosen options give before
// the user commits to them. The copy becomes the document when the user accepts.
#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "core/anim_document.h"

namespace fw {

class Progress;
class ProgressHook;

class OptimizeTrial {
 public:
  // `document` is only read by trials and must not change while one runs; the owner cancels
  // or waits first. `hook` (optional) receives the trial's progress texts and bar on the
  // worker's thread, without being asked to pump events. The optimizer's own messages (out of
  // memory) are shown from the worker's thread too, so the message sink must accept them
  // there; the preferences are read, never written, during a trial.
  explicit OptimizeTrial(AnimHeader& document, ProgressHook* hook = nullptr);
  OptimizeTrial(const OptimizeTrial&) = delete;
  OptimizeTrial& operator=(const OptimizeTrial&) = delete;
  // Cancels a running trial and waits for it.
  ~OptimizeTrial();

  // Cancels and waits for a running trial, drops the previous copy and starts a new trial.
  // `finished` (optional) is called on the worker's thread when a trial ends without being
  // cancelled, with the copy's encoded size (-1 when the copy could not be made).
  void start(uint32_t options, std::function<void(int32_t size)> finished = {});
  // Cancels a running trial, waits for it, and drops the copy.
  void cancel();
  // Waits for a running trial to end; `busy` is told when waiting starts and stops.
  void wait(const std::function<void(bool)>& busy = {});
  bool running() const;

  // A finished trial's results: the copy's encoded size (-1 without a result), whether the
  // copy could not be made for lack of memory, and the optimized copy itself.
  int32_t size() const { return running() ? -1 : size_; }
  bool outOfMemory() const { return !running() && outOfMemory_; }
  const AnimHeader* copy() const { return running() ? nullptr : copy_.get(); }
  // Images of the finished trial's copy whose shown colours a new or mapped palette changed.
  int approximatedFrames() const { return running() ? 0 : approximated_; }
  // What the dialog asks before it re-runs a trial for a changed frame-removal option.
  bool copyHasSinglePixelImage() const;
  int copyFrameCount() const;

  // The dialog's OK with a trial result: when the copy encodes smaller than the document, the
  // copy's content replaces the document's and an undo step holds the old one.
  // Waits for a running trial first. True when the document changed.
  bool accept();

 private:
  void run(uint32_t options, const std::function<void(int32_t)>& finished);

  AnimHeader& document_;
  ProgressHook* hook_;
  AnimPtr copy_;
  int32_t size_ = -1;
  bool outOfMemory_ = false;
  int approximated_ = 0;
};

// Optimize directly on the document with an undo step (the dialog's OK without a trial copy),
// keeping the document when the result would not be smaller. True when the document changed;
// without a change no step is kept.
bool OptimizeWithUndo(AnimHeader& document, uint32_t options, Progress* progress);

}  // namespace fw
