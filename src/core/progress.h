#pragma once
// Progress of long operations on the interface thread, and the user's way to stop them.
// Without an owner there is no progress object, and every call answers "go on".
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace fw {

// What the interface supplies: a window with a bar and a text, and a way to process
// pending input (Escape or Cancel call RequestProgressStop()).
class ProgressHook {
 public:
  virtual ~ProgressHook() = default;
  virtual void showWindow() = 0;
  virtual void setRange(int maximum) = 0;
  virtual void setPosition(int position) = 0;
  virtual void setText(const std::string& text) = 0;
  virtual void pumpEvents() = 0;
  virtual void closeWindow() = 0;
};

// A hook that shows nothing, for work that needs a progress object only for its stop mask.
class QuietProgressHook : public ProgressHook {
 public:
  void showWindow() override {}
  void setRange(int) override {}
  void setPosition(int) override {}
  void setText(const std::string&) override {}
  void pumpEvents() override {}
  void closeWindow() override {}
};

namespace progress_flag {
inline constexpr int kSilent = 1;
inline constexpr int kOwnWindow = 2;
inline constexpr int kInOwnerDialog = 4;
inline constexpr int kNoPumping = 8;
}  // namespace progress_flag

class Progress {
 public:
  Progress() = default;
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  // A caller that drops the object without closing it must not leave its window behind.
  ~Progress();

  ProgressHook* owner = nullptr;
  int flags = 0;
  uint32_t stopMask = 0;
  int64_t divisor = 1;
  int position = 0;
  bool windowShown = false;

  bool silent() const { return flags & progress_flag::kSilent; }
};

// The process-wide continue flag.
bool ProgressContinues();
void RequestProgressStop();

std::unique_ptr<Progress> CreateProgress(ProgressHook* owner, int flags, uint32_t stopMask = 0);
// A dialog's trial worker reports into the dialog when it has a hook; without one it still
// needs a progress object (reporting to `quiet`), since its stop mask is how a cancel reaches
// the work in the middle of a step.
std::unique_ptr<Progress> CreateTrialProgress(ProgressHook* hook, QuietProgressHook& quiet, uint32_t workerBit);
void StartProgress(Progress* progress, int64_t total);
void SetProgressText(Progress* progress, const std::string& text);
bool StepProgress(Progress* progress);
bool SetProgressPosition(Progress* progress, int64_t position);
void CloseProgress(Progress* progress);
// Keeps the bar's range at most 1,000.
int64_t ProgressDivisor(int64_t total);

}  // namespace fw
