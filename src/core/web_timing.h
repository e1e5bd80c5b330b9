#pragma once
// How the major browsers play GIF delays: a delay of 0 or 1 hundredth is played as 10
// hundredths, so an animation made for "as fast as possible" runs far slower on the web
// than in a viewer that honours the stored delay.
#include <cstdint>

namespace fw {

struct AnimHeader;

// In hundredths of a second, as a GIF stores them.
inline constexpr int kBrowserSlowestChangedDelay = 1;
inline constexpr int kBrowserReplacementDelay = 10;
inline constexpr int kWebSafeGifDelay = kBrowserSlowestChangedDelay + 1;

// Whether browsers play a frame of `delay` document ticks (`timeBase` ticks a second, 0 read
// as 100) at another speed than the file asks for.
bool BrowsersChangeDelay(int32_t delay, int timeBase);

// Milliseconds a frame of `delay` ticks stays up in a browser (never below 1).
int BrowserInterval(double delay, int timeBase);

// The smallest document delay browsers play as stored: `delay` itself when they already do.
int32_t WebSafeDelay(int32_t delay, int timeBase);

// Frames of the document whose delay browsers change.
int CountDelaysBrowsersChange(const AnimHeader& document, int timeBase);

// Raises every such delay to the web-safe one; the number of frames changed.
int MakeDelaysWebSafe(AnimHeader& document, int timeBase);

}  // namespace fw
