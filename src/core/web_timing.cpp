#include "core/web_timing.h"

#include <algorithm>
#include <cmath>

#include "core/anim_document.h"
#include "core/playback_timing.h"

namespace fw {
namespace {

int NormalTimeBase(int timeBase) { return timeBase > 0 ? timeBase : 100; }

}  // namespace

bool BrowsersChangeDelay(int32_t delay, int timeBase) {
  return GifDelayFromDocument(std::max<int32_t>(delay, 0), NormalTimeBase(timeBase)) <= kBrowserSlowestChangedDelay;
}

int BrowserInterval(double delay, int timeBase) {
  const double whole = delay > 0 ? std::floor(std::min(delay, 1e9) + 0.5) : 0;
  if (BrowsersChangeDelay(static_cast<int32_t>(whole), timeBase)) return kBrowserReplacementDelay * 10;
  return PreviewInterval(delay, timeBase);
}

int32_t WebSafeDelay(int32_t delay, int timeBase) {
  if (!BrowsersChangeDelay(delay, timeBase)) return delay;
  const int base = NormalTimeBase(timeBase);
  // The smallest tick count whose GIF delay reaches the web-safe one; the writer truncates.
  int32_t safe = static_cast<int32_t>((int64_t{kWebSafeGifDelay} * base + 99) / 100);
  while (BrowsersChangeDelay(safe, base)) ++safe;
  return safe;
}

int CountDelaysBrowsersChange(const AnimHeader& document, int timeBase) {
  int count = 0;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (BrowsersChangeDelay(f->delay, timeBase)) ++count;
  return count;
}

int MakeDelaysWebSafe(AnimHeader& document, int timeBase) {
  int changed = 0;
  for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    const int32_t safe = WebSafeDelay(f->delay, timeBase);
    if (safe != f->delay) {
      f->delay = safe;
      ++changed;
    }
  }
  return changed;
}

}  // namespace fw
