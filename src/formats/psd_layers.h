#pragma once
// The layer part of the PSD reader: layer records and channel data into frames.
#include <cstddef>
#include <cstdint>

#include "core/anim_document.h"

namespace fw {
class Progress;
}

namespace fw::psd {

inline constexpr int kModeGrey = 1;
inline constexpr int kModeIndexed = 2;
inline constexpr int kModeRgb = 3;

inline constexpr int kMsgNotPsd = 40122;
inline constexpr int kMsgColourMode = 40123;
inline constexpr int kMsgDamaged = 40124;
inline constexpr int kMsgNoMemoryLayer = 40125;
inline constexpr int kMsgNoMemoryComposite = 40126;
inline constexpr int kMsgNoMemoryMask = 40127;
inline constexpr int kMsgReading = 40128;
inline constexpr int kMsgReadingLayers = 40129;
inline constexpr int kMsgReadingLayerData = 40130;

struct FileHeader {
  int channels = 0;
  int width = 0, height = 0;
  int mode = 0;
  int depth = 8;  // bits per channel sample: 8, or 16 (scaled to 8 as it is read)
};

enum class LayerOutcome {
  kFrames,   // the document holds the frames
  kNone,     // no frame came out (every layer outside the canvas, say): read the composite instead
  kFailed,   // message shown
  kAborted,  // the user stopped it
};

// `layerCount` records start at `records` (just after the count). Frames are appended to
// `document`, whose logical screen is the canvas. `pixelsCut` tells whether some layer's
// pixel data was missing or cut short (those pixels are blank).
LayerOutcome ReadLayerFrames(const uint8_t* data, size_t size, size_t records, int layerCount,
                             const FileHeader& header, uint32_t choice, Progress* progress, AnimHeader& document,
                             bool& pixelsCut);

}  // namespace fw::psd
