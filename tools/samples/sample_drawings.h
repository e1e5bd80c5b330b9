#pragma once
// Animations drawn in code: the bundled samples and the benchmark inputs.
#include "core/anim_document.h"

namespace fw::samples {

// A ball bouncing over a transparent background: small frames at moving offsets, disposal 2.
AnimPtr BouncingBall();
// A colour-cycling spinner; one frame carries its own local palette.
AnimPtr Spinner();
// One interlaced picture (a gradient with stripes).
AnimPtr InterlacedPicture();
// Two frames with a comment block between them.
AnimPtr CommentedAnimation();

// Benchmark inputs of realistic sizes.
AnimPtr VideoClip(int width = 640, int height = 480, int frames = 200);
AnimPtr ScreenCapture(int width = 1920, int height = 1080, int frames = 20);
AnimPtr Sprite(int width = 100, int height = 100, int frames = 50);

// A frame of the given size and offset filled by a pixel function, its palette in effect set.
ImageBlock& AddFrame(AnimHeader& doc, int left, int top, int width, int height, int delay);

}  // namespace fw::samples
