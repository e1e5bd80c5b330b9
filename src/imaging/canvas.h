#pragma once
// Increasing the canvas of the selected frames: their content stays at the top left and the
// new area at the right and bottom is filled so that it shows nothing new.
#include <cstdint>
#include <string>

#include "core/anim_document.h"

namespace fw {

namespace canvas_msg {
inline constexpr int kSizeVaries = 130;  // "当前大小:变量(多选)"
inline constexpr int kSize = 132;        // "当前大小: %d x %d"
inline constexpr int kUndoName = 40369;
}  // namespace canvas_msg
namespace canvas_field {
inline constexpr int kWidth = 1308, kHeight = 1310;
}

inline constexpr int32_t kMaxCanvasLength = 10000;

// What the dialog opens with: the largest width and height among the selected frames (the
// smallest sizes it accepts) and whether all selected frames share one size.
struct CanvasStart {
  int32_t minWidth = 1, minHeight = 1;
  bool uniform = true;
};
CanvasStart StartCanvas(const AnimHeader& document);
// The current-size text of the dialog.
std::string CanvasSizeText(const CanvasStart& start);
// OK pressed with these sizes: 0 when they are accepted; otherwise the field that is below
// its minimum (width first), whose value is put back to the minimum.
int CheckCanvasSize(const CanvasStart& start, int32_t& width, int32_t& height);

// Enlarges every selected frame to width x height (never cutting one that is larger) and
// grows the logical screen when a frame now reaches beyond it. Records the undo step.
// 0 nothing changed, 1 images changed, 2 images and screen changed. Running out of memory
// shows a message and changes nothing (0).
int IncreaseCanvas(AnimHeader& document, int32_t width, int32_t height);

}  // namespace fw
