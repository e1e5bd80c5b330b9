#pragma once
// The two passes of an AVI export: the uncompressed file, and its re-encoding with audio.
#include <cstdint>
#include <string>

#include "core/anim_document.h"
#include "formats/avi_file.h"

namespace fw {

class Progress;

namespace avi_result {
inline constexpr int kOk = 0;
inline constexpr int kAborted = 1;
inline constexpr int kNoAudio = 2;
// Anything else is a negative FFmpeg error code.
}  // namespace avi_result

// The uncompressed pass: 8-bit frames with the global palette, or 24-bit; every picture as a
// viewer shows it. kOk, kAborted, or an error after its message.
int WriteUncompressedAvi(const std::string& path, const AnimHeader& document, bool trueColour, Progress* progress);

// Whether the pictures must be 24-bit to show right (local palettes, no global palette).
bool AviNeedsTrueColour(const AnimHeader& document);

// Re-encodes the uncompressed file `source` into `target` as the options say, with the first
// audio stream of `audioPath` when it is not empty. kOk, kAborted, kNoAudio or an FFmpeg error.
int ResaveAvi(const std::string& source, const std::string& target, const AviCompressOptions& options,
              const std::string& audioPath, Progress* progress);

}  // namespace fw
