// Save for size on the optimizer's benchmark set: for each animation and each target (50 %,
// 20 % and 5 % of its losslessly optimized size) the size, quality (PSNR of what a viewer
// sees), candidates encoded and time of the planner's order, next to the naive order that
// takes the first candidate fitting along colours, then frames, then scale.
#include <chrono>
#include <cstdio>

#include "gif/gif_writer.h"
#include "imaging/optimize.h"
#include "imaging/size_plan.h"
#include "samples/sample_drawings.h"

int main() {
  struct Input {
    const char* name;
    fw::AnimPtr doc;
  };
  Input inputs[] = {{"video 320x240x60", fw::samples::VideoClip(320, 240, 60)},
                    {"screen 640x400x12", fw::samples::ScreenCapture(640, 400, 12)},
                    {"sprite 100x100x50", fw::samples::Sprite(100, 100, 50)}};
  std::printf("%-18s %6s %-10s %10s %10s %8s %5s %7s  %s\n", "input", "target", "order", "target B", "size B",
              "PSNR dB", "tried", "seconds", "settings");
  for (Input& input : inputs) {
    fw::AnimPtr optimized = fw::CopyAnimation(*input.doc, nullptr);
    fw::Optimize(*optimized, fw::optimize_bit::kDefault, nullptr);
    const int64_t base = fw::EncodedSize(optimized.get(), true, nullptr);
    for (int percent : {50, 20, 5}) {
      const int64_t target = base * percent / 100;
      for (fw::SizeOrder order : {fw::SizeOrder::kMeasured, fw::SizeOrder::kColoursFirst}) {
        const auto start = std::chrono::steady_clock::now();
        const fw::SizePlan plan = fw::PlanForSize(*input.doc, target, nullptr, {}, order);
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const bool fits = plan.outcome == fw::SizePlan::kFits;
        std::printf("%-18s %5d%% %-10s %10lld %10lld %8.2f %5zu %7.2f  %s\n", input.name, percent,
                    order == fw::SizeOrder::kMeasured ? "measured" : "colours", static_cast<long long>(target),
                    static_cast<long long>(fits ? plan.chosen.bytes : plan.smallest), fits ? plan.chosen.psnr : 0.0,
                    plan.tried.size(), seconds,
                    fits ? fw::DescribeSizeSettings(plan.chosen.settings).c_str() : "(nothing fits)");
        std::fflush(stdout);
      }
    }
  }
  return 0;
}
