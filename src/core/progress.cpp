#include "core/progress.h"

#include "core/termination.h"
#include "core/workers.h"

namespace fw {
namespace {
std::atomic<bool> g_continue{true};

void EnsureWindow(Progress& p) {
  if ((p.flags & progress_flag::kOwnWindow) && !p.windowShown && !p.silent()) {
    p.owner->showWindow();
    p.windowShown = true;
  }
}

void Pump(Progress& p) {
  if (p.stopMask & WorkerCancelWord().load()) {
    g_continue = false;
    return;
  }
  if (p.silent() || (p.flags & progress_flag::kNoPumping)) return;
  if (g_continue) p.owner->pumpEvents();
}
}  // namespace

Progress::~Progress() {
  if (windowShown && owner) CloseProgress(this);
}

bool ProgressContinues() { return g_continue; }
void RequestProgressStop() { g_continue = false; }

std::unique_ptr<Progress> CreateProgress(ProgressHook* owner, int flags, uint32_t stopMask) {
  if (!owner) return nullptr;
  auto p = std::make_unique<Progress>();
  p->owner = owner;
  p->flags = flags;
  p->stopMask = stopMask;
  g_continue = true;
  return p;
}

std::unique_ptr<Progress> CreateTrialProgress(ProgressHook* hook, QuietProgressHook& quiet, uint32_t workerBit) {
  return hook ? CreateProgress(hook, progress_flag::kInOwnerDialog | progress_flag::kNoPumping, workerBit)
              : CreateProgress(&quiet, progress_flag::kSilent, workerBit);
}

int64_t ProgressDivisor(int64_t total) {
  int64_t divisor = 1;
  if (total >= 1001) {
    do {
      total /= 10;
      divisor *= 10;
    } while (total > 1000);
  }
  return divisor;
}

void StartProgress(Progress* p, int64_t total) {
  if (!p || p->silent()) return;
  EnsureWindow(*p);
  p->divisor = ProgressDivisor(total);
  p->position = 0;
  p->owner->setRange(static_cast<int>(total / p->divisor));
  p->owner->setPosition(0);
}

void SetProgressText(Progress* p, const std::string& text) {
  if (!p || p->silent()) return;
  EnsureWindow(*p);
  p->owner->setText(text);
}

bool StepProgress(Progress* p) {
  if (TerminationSignal()) return false;
  if (!p) return true;
  Pump(*p);
  if (g_continue && !p->silent()) p->owner->setPosition(++p->position);
  return g_continue;
}

bool SetProgressPosition(Progress* p, int64_t position) {
  if (TerminationSignal()) return false;
  if (!p) return true;
  Pump(*p);
  if (g_continue && !p->silent()) {
    p->position = static_cast<int>(position / p->divisor);
    p->owner->setPosition(p->position);
  }
  return g_continue;
}

void CloseProgress(Progress* p) {
  if (p && p->windowShown) {
    p->owner->closeWindow();
    p->windowShown = false;
  }
  g_continue = true;
}

}  // namespace fw
