// The values the canvas dialog opens with and accepts.
#include <algorithm>

#include "core/message_sink.h"
#include "core/string_table.h"
#include "imaging/canvas.h"

namespace fw {

CanvasStart StartCanvas(const AnimHeader& doc) {
  CanvasStart s;
  bool first = true;
  for (const ImageBlock* f = FirstImage(&doc); f; f = NextImage(f)) {
    if (!f->selected) continue;
    if (!first && (f->width != s.minWidth || f->height != s.minHeight)) s.uniform = false;
    s.minWidth = first ? f->width : std::max(s.minWidth, f->width);
    s.minHeight = first ? f->height : std::max(s.minHeight, f->height);
    first = false;
  }
  s.minWidth = std::clamp(s.minWidth, 1, kMaxCanvasLength);
  s.minHeight = std::clamp(s.minHeight, 1, kMaxCanvasLength);
  return s;
}

std::string CanvasSizeText(const CanvasStart& s) {
  if (!s.uniform) return MessageText(canvas_msg::kSizeVaries);
  return FormatText(MessageText(canvas_msg::kSize), s.minWidth, s.minHeight);
}

int CheckCanvasSize(const CanvasStart& s, int32_t& width, int32_t& height) {
  if (width < s.minWidth) {
    width = s.minWidth;
    return canvas_field::kWidth;
  }
  if (height < s.minHeight) {
    height = s.minHeight;
    return canvas_field::kHeight;
  }
  return 0;
}

}  // namespace fw
