#pragma once
// Blend: another animation, read from a file, drawn over the current one at an offset; the
// combined frames replace the document's frames.
#include <cstdint>
#include <functional>
#include <string>

#include "core/anim_document.h"
#include "core/load_result.h"

namespace fw {

class Progress;

namespace blend_msg {
inline constexpr int kUndoName = 40299;
inline constexpr int kFrameName = 40300;  // "混合帧 %d"
}  // namespace blend_msg

inline constexpr int32_t kMaxBlendOffset = 32000;

struct BlendOptions {
  int32_t x = 0, y = 0;  // of the second animation relative to the first
  bool byTime = true;    // pair by time, else frame by frame
  bool loop = true;      // repeat the shorter animation
};

// Pairing and looping as chosen last time, offsets 0.
BlendOptions StartBlendOptions();
void StoreBlendChoices(const BlendOptions& options);

// The output screen and where the first animation lands on it.
struct BlendLayout {
  int32_t width = 0, height = 0;
  int32_t shiftX = 0, shiftY = 0;
};
BlendLayout LayoutBlend(const AnimHeader& first, const AnimHeader& second, int32_t x, int32_t y);

// Reads the file for the blend: the program passes the file-type dispatcher.
using AnimationLoader = std::function<LoadResult(const std::string& path)>;
// The blend dialog: sees both animations (the second already on the first's palette) and
// fills in the options; false cancels.
using BlendOptionsChooser =
    std::function<bool(const AnimHeader& document, const AnimHeader& other, BlendOptions& options)>;

// Reads `path`, brings its colours onto the document's palette, asks for the options (with
// no chooser the stored choices and offset 0 are used) and replaces the document's frames by
// the blended ones. 2 changed; 0 not changed (read failure, cancel, stop or shortage, after
// which the document is as it was and no undo step remains).
int Blend(AnimHeader& document, const std::string& path, const AnimationLoader& load,
          const BlendOptionsChooser& choose, Progress* progress);

}  // namespace fw
