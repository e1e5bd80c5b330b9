#include "imaging/size_candidate.h"

#include <algorithm>
#include <new>

#include "core/message_sink.h"
#include "imaging/optimize.h"
#include "imaging/reduce_colours.h"
#include "imaging/resize.h"
#include "imaging/transforms.h"

namespace fw {

std::string DescribeSizeSettings(const SizeSettings& s) {
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (s.colours > 0) add(FormatText("%d 色", s.colours));
  if (s.keepOneIn > 1) add(FormatText("每 %d 帧保留 1 帧", s.keepOneIn));
  if (s.scalePercent != 100) add(FormatText("缩放到 %d%%", s.scalePercent));
  return text.empty() ? std::string("无损优化") : text;
}

AnimPtr ShapeForSize(const AnimHeader& fullFrames, const SizeSettings& settings, Progress* progress) {
  AnimPtr doc = CopyAnimation(fullFrames, progress);
  if (!doc) return nullptr;
  // Keeping the first of every N: deleting every N-th, then every (N-1)-th of what is left,
  // and so on down to every second, leaves frames 1, N + 1, 2N + 1, ... with the delays of
  // the deleted ones added to the frame before them, so the running time stays.
  for (int interval = settings.keepOneIn; interval >= 2; --interval)
    if (doc->frameCount >= interval && !ReduceFrameCount(*doc, interval)) return nullptr;
  if (settings.scalePercent != 100) {
    ScaleRecord scale;
    scale.oldWidth = std::max(1, doc->screenWidth);
    scale.oldHeight = std::max(1, doc->screenHeight);
    scale.newWidth = std::max(1, (scale.oldWidth * settings.scalePercent + 50) / 100);
    scale.newHeight = std::max(1, (scale.oldHeight * settings.scalePercent + 50) / 100);
    if (ResizeNearest(scale, *doc, progress) != 1) return nullptr;
    doc->screenWidth = scale.newWidth;
    doc->screenHeight = scale.newHeight;
  }
  doc->encodedSize = -1;
  return doc;
}

AnimPtr MakeCandidate(const AnimHeader& shaped, const SizeSettings& settings, Progress* progress) {
  AnimPtr doc = CopyAnimation(shaped, progress);
  if (!doc) return nullptr;
  if (settings.colours > 0 && !ReducePalettes(*doc, std::clamp(settings.colours, 2, 256), false, nullptr, progress))
    return nullptr;
  Optimize(*doc, optimize_bit::kDefault, progress);
  doc->encodedSize = -1;
  return doc;
}

}  // namespace fw
