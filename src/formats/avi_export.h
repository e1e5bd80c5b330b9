#pragma once
// The passes of an AVI export: the uncompressed file, its re-encoding with audio, and the
// compressed file encoded straight from the pictures.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/anim_document.h"
#include "formats/avi_file.h"

namespace fw {

class Progress;

namespace avi_result {
inline constexpr int kOk = 0;
inline constexpr int kAborted = 1;
inline constexpr int kNoAudio = 2;
// The options store the pictures uncompressed: that is the uncompressed pass's work.
inline constexpr int kNeedsUncompressed = 3;
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

// The pictures of an export as the encoder takes them: `scale`/`rate` seconds a sample, the
// colour table (four bytes an entry, blue first) for 8-bit pictures.
struct AviPictureFormat {
  int width = 0, height = 0;
  bool trueColour = false;
  std::vector<uint8_t> table;
  uint32_t scale = 1, rate = 1;
};
// Takes one picture (top-down rows of Stride8 or Stride24 bytes) starting at `sample`.
using AviPictureEmit = std::function<int(const uint8_t* rows, int64_t sample)>;
// Hands every picture to the emitter in order; kOk, kAborted, or what the emitter returned.
using AviPictureProducer = std::function<int(const AviPictureEmit& emit)>;

// Encodes the pictures straight into `target` as the options say, with the first audio stream
// of `audioPath` when it is not empty. kOk, kAborted, kNoAudio, kNeedsUncompressed (nothing
// written) or an FFmpeg error.
int EncodeAvi(const std::string& target, const AviPictureFormat& format, const AviPictureProducer& produce,
              const AviCompressOptions& options, const std::string& audioPath, Progress* progress);

}  // namespace fw
