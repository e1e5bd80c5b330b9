#pragma once
// How long a played frame stays up and when playback ends.
namespace fw {

// Milliseconds a frame of `delay` document ticks stays up, `timeBase` ticks a second (0 read
// as 100). The delay is rounded to whole ticks; a frame is never shown for less than 1 ms.
int PreviewInterval(double delay, int timeBase);

// Called when the last position is up and the timer runs out: whether playback goes on.
// `loopsLeft` counts the passes still to play (0 = forever) and is decreased here;
// `loopForever` overrides the animation's loop count.
bool PreviewContinuesAfterLastFrame(int& loopsLeft, bool loopForever);

}  // namespace fw
