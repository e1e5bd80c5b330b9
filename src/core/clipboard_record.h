#pragma once
// The clipboard transfer record of selected frames. Its byte layout is fixed (little-endian,
// 32-bit pointer fields that only say present or absent) so that a record written by one
// build of the program is read by any other:
//
//   header image   1,072 bytes   the document's header fields
//   palette        1,032 bytes   when the header's global-palette field is non-zero
//   per frame:
//     frame image     92 bytes   the image block's fields
//     palette      1,032 bytes   when the frame's local-palette field is non-zero
//     indexed rows   height * Stride8(width)
//     colour rows    height * Stride24(width), when the true-colour field is non-zero
//     alpha rows     height * Stride8(width), when the alpha field is non-zero
//     name           the frame's name and a terminating zero byte
//
// Width and height of 0 are stored as 0 but their rows count as 1 (as the indexed image does).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/anim_document.h"

namespace fw {

inline constexpr char kClipboardFormatName[] = "Framewright Frame (v2)";
inline constexpr char kClipboardMimeType[] = "application/x-framewright-frame-v2";

namespace clip_record {
inline constexpr size_t kHeaderBytes = 1072;
inline constexpr size_t kPaletteBytes = 1032;
inline constexpr size_t kFrameBytes = 92;
inline constexpr uint16_t kPaletteVersion = 0x0300;
}  // namespace clip_record

// The record of the document's selected frames, in list order. Empty when no frame is
// selected, or (with message 40194) when memory runs out.
std::vector<uint8_t> PackFrames(const AnimHeader& document);

// A new document holding the frames of a record: unselected, with their palettes, planes and
// names, and the colour usage counted. nullptr for a record that is damaged, truncated, longer
// than its contents, holds no frame, or needs more memory than there is.
AnimPtr UnpackFrames(const uint8_t* data, size_t size);

}  // namespace fw
