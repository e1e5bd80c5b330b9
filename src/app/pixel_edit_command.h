#pragma once
// Edit pixels (40343): the pixel editor on the current frame, committed as one undo step.
#include <cstdint>
#include <memory>
#include <vector>

namespace fw {

class MainWindow;
struct AnimHeader;
struct IndexedImage;

// Runs the editor on the window's current frame; true when OK changed the frame.
bool EditPixelsOfCurrentFrame(MainWindow& window);

// Replaces the frame's pixels (and their 24-bit and alpha twins) by the editor's result,
// recording one "编辑像素" undo step. False when the frame is gone or the sizes disagree.
bool CommitPixelEdit(AnimHeader& document, int frameIndex, std::unique_ptr<IndexedImage> image,
                     std::vector<uint8_t> trueColour, std::vector<uint8_t> alpha);

}  // namespace fw
