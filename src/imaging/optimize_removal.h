#pragma once
// Removing images that change nothing on screen: their time goes to the image before them.
#include "core/anim_document.h"

namespace fw {

// Whether an image that draws nothing new may go. The image before it must stay on screen
// unchanged through this one's time (no restore to background or to the previous picture
// when it ends), and the two delays together must still fit a GIF delay.
bool CanFoldIntoPrevious(const ImageBlock& image);

// Adds the image's delay to the previous image's and deletes the image from the document.
// Returns the image that followed it.
ImageBlock* FoldIntoPrevious(AnimHeader& document, ImageBlock& image);

}  // namespace fw
