#include "imaging/size_plan.h"

#include <algorithm>
#include <new>

#include "core/progress.h"
#include "core/termination.h"
#include "core/workers.h"
#include "gif/gif_writer.h"
#include "imaging/display_psnr.h"
#include "imaging/optimize.h"
#include "imaging/transforms.h"

namespace fw {
namespace {

// From the least to the most loss on each axis. 0 colours keeps the colours as they are.
constexpr int kColours[] = {0, 128, 64, 32, 16, 8, 4};
constexpr int kKeepOneIn[] = {1, 2, 3, 4, 6};
constexpr int kScales[] = {100, 75, 50, 35, 25, 18, 12};
constexpr int kColourSteps = static_cast<int>(std::size(kColours));

bool Stopped(const Progress* progress) {
  return TerminationSignal() || (progress && (progress->stopMask & WorkerCancelWord().load()));
}

class Planner {
 public:
  Planner(const AnimHeader& original, int64_t target, Progress* progress,
          const std::function<void(const SizeCandidate&)>& tried)
      : original_(original), target_(target), progress_(progress), tried_(tried) {}

  SizePlan run(SizeOrder order) {
    try {
      if (!tryLossless()) return finish();
      if (plan_.outcome == SizePlan::kFits) return std::move(plan_);
      full_ = CopyAnimation(original_, progress_);
      if (!full_ || Unoptimize(*full_, progress_) < 0) return failed();
      if (order == SizeOrder::kMeasured) searchMeasured();
      else searchColoursFirst();
    } catch (const std::bad_alloc&) {
      return failed();
    }
    return finish();
  }

 private:
  bool going() const { return !Stopped(progress_); }

  SizePlan failed() {
    plan_.outcome = SizePlan::kFailed;
    plan_.document.reset();
    return std::move(plan_);
  }

  SizePlan finish() {
    if (Stopped(progress_)) plan_.document.reset();
    plan_.outcome = Stopped(progress_)      ? SizePlan::kStopped
                    : plan_.document        ? SizePlan::kFits
                    : !plan_.tried.empty()  ? SizePlan::kNothingFits
                                            : SizePlan::kFailed;
    return std::move(plan_);
  }

  // Measures a made candidate and keeps it when it fits better than the best so far.
  // Nothing (-1) when it could not be measured.
  int64_t judge(AnimPtr doc, const SizeSettings& settings) {
    if (!doc || !going()) return -1;
    const int32_t bytes = EncodedSize(doc.get(), true, nullptr);
    if (bytes < 0) return -1;
    SizeCandidate c;
    c.settings = settings;
    c.bytes = bytes;
    c.fits = bytes <= target_;
    if (c.fits) c.psnr = DisplayedPsnr(original_, *doc, [this] { return going(); });
    if (plan_.smallest < 0 || bytes < plan_.smallest) plan_.smallest = bytes;
    plan_.tried.push_back(c);
    if (tried_) tried_(c);
    if (c.fits && c.psnr >= 0 && (!plan_.document || c.psnr > plan_.chosen.psnr)) {
      plan_.chosen = c;
      plan_.document = std::move(doc);
    }
    return bytes;
  }

  bool tryLossless() {
    AnimPtr doc = CopyAnimation(original_, progress_);
    if (!doc) return false;
    Optimize(*doc, optimize_bit::kDefault, progress_);
    if (judge(std::move(doc), SizeSettings{}) < 0) return false;
    if (plan_.document) plan_.outcome = SizePlan::kFits;
    return true;
  }

  bool fitsWith(const AnimHeader& shaped, SizeSettings settings, int colourStep) {
    settings.colours = kColours[colourStep];
    const int64_t bytes = judge(MakeCandidate(shaped, settings, progress_), settings);
    return bytes >= 0 && bytes <= target_;
  }

  // The least lossy colour count that fits these frames: sizes shrink with the colours, so
  // halving the ladder finds it with a few encodes. `knownTooLarge` is a step already
  // measured too large (-1 for none).
  void searchColours(const AnimHeader& shaped, const SizeSettings& settings, int knownTooLarge) {
    if (!going() || !fitsWith(shaped, settings, kColourSteps - 1)) return;
    int tooLarge = knownTooLarge, fits = kColourSteps - 1;
    while (fits - tooLarge > 1 && going()) {
      const int middle = (tooLarge + fits) / 2;
      if (fitsWith(shaped, settings, middle)) fits = middle;
      else tooLarge = middle;
    }
  }

  void searchMeasured() {
    for (int scale : kScales) {
      for (int keep : kKeepOneIn) {
        if (!going()) return;
        const SizeSettings settings{0, keep, scale};
        if (keep > 1 && full_->frameCount < 2) break;
        AnimPtr shaped = ShapeForSize(*full_, settings, progress_);
        if (!shaped) return;
        // No colour count looks better than all the colours: a step that cannot beat the
        // best so far even so is not encoded at all.
        if (plan_.document) {
          const double ceiling = DisplayedPsnr(original_, *shaped, [this] { return going(); });
          if (ceiling >= 0 && ceiling <= plan_.chosen.psnr) continue;
        }
        // With every frame at full size, all the colours is the lossless candidate already tried.
        searchColours(*shaped, settings, scale == 100 && keep == 1 ? 0 : -1);
      }
    }
  }

  void searchColoursFirst() {
    const int fewest = kColourSteps - 1;
    AnimPtr all = ShapeForSize(*full_, SizeSettings{}, progress_);
    if (!all) return;
    for (int step = 1; step <= fewest && going(); ++step)
      if (fitsWith(*all, SizeSettings{}, step)) return;
    for (int keep : kKeepOneIn) {
      if (keep == 1 || full_->frameCount < 2) continue;
      AnimPtr shaped = ShapeForSize(*full_, SizeSettings{0, keep, 100}, progress_);
      if (!shaped || fitsWith(*shaped, SizeSettings{0, keep, 100}, fewest) || !going()) return;
    }
    const int keep = full_->frameCount < 2 ? 1 : kKeepOneIn[std::size(kKeepOneIn) - 1];
    for (int scale : kScales) {
      if (scale == 100) continue;
      AnimPtr shaped = ShapeForSize(*full_, SizeSettings{0, keep, scale}, progress_);
      if (!shaped || fitsWith(*shaped, SizeSettings{0, keep, scale}, fewest) || !going()) return;
    }
  }

  const AnimHeader& original_;
  const int64_t target_;
  Progress* progress_;
  const std::function<void(const SizeCandidate&)>& tried_;
  AnimPtr full_;
  SizePlan plan_;
};

}  // namespace

SizePlan PlanForSize(const AnimHeader& original, int64_t targetBytes, Progress* progress,
                     const std::function<void(const SizeCandidate&)>& tried, SizeOrder order) {
  return Planner(original, targetBytes, progress, tried).run(order);
}

}  // namespace fw
