#pragma once
// AVI through FFmpeg's libraries: any video stream they decode in, and an animation out as an
// uncompressed AVI that is then, as the user chose, re-encoded (Video 1, RLE8 or another
// encoder the AVI muxer accepts) and given an audio stream copied from another file.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/load_result.h"

namespace fw {

class Progress;

// The compressor choice as it is stored (value "AVICompress", 44 bytes): stream type,
// handler, key frame every, quality, bytes per second, flags, then format pointer and size,
// parameters pointer and size, interleave every. Only the handler, the key frame interval,
// quality, data rate and flags mean anything here; the rest is kept as it was stored.
struct AviCompressOptions {
  std::array<uint32_t, 11> words{};

  uint32_t handler() const { return words[1]; }
  uint32_t keyFrameEvery() const { return words[2]; }
  uint32_t quality() const { return words[3]; }
  uint32_t bytesPerSecond() const { return words[4]; }
  friend bool operator==(const AviCompressOptions&, const AviCompressOptions&) = default;
};

constexpr uint32_t FourCc(const char (&c)[5]) {
  return uint32_t(uint8_t(c[0])) | uint32_t(uint8_t(c[1])) << 8 | uint32_t(uint8_t(c[2])) << 16 |
         uint32_t(uint8_t(c[3])) << 24;
}

enum class AviPreset { kNone, kVideo1, kRle8, kCustom };

AviCompressOptions AviPresetOptions(AviPreset preset);
// Rle8 or Video1 when the record equals that preset word for word, else Custom.
AviPreset AviPresetOf(const AviCompressOptions& options);
// The stored record, or the RLE8 preset when nothing (or something of the wrong size) is stored.
AviCompressOptions StoredAviOptions();
void StoreAviOptions(const AviCompressOptions& options);
// A record for one of FFmpeg's encoders (by name) that the AVI muxer can carry; its handler
// is the four-character code the muxer writes for it. False for an unknown or unusable name.
bool CustomAviOptions(const std::string& encoder, AviCompressOptions& options);
// Encoders the custom choice offers: video encoders whose codec has an AVI code.
std::vector<std::string> AviCustomEncoders();

struct AviExportSettings {
  uint32_t flags = 0;  // 4: the animation has 24-bit frame data
  std::string audioPath;
  bool includeAudio = false;
  bool compress = false;
  AviCompressOptions options;
  bool write24 = false;
};
inline constexpr uint32_t kAviHas24Bit = 4;

// What a plain Save uses: no audio; 24-bit when any frame has 24-bit data; the stored
// compressor unless the preferences say uncompressed (word 6 bit 19), RLE8 becoming Video 1
// when 24-bit data must be carried.
void FillAviDefaults(const AnimHeader& document, AviExportSettings& settings);

// Whether the file (WAV, AVI or anything FFmpeg reads) holds an audio stream an export can
// copy.
bool HasAudioStream(const std::string& path);

// 1 read to the end, 2 the user stopped it or the file ended in damage (the frames read so far
// are kept), 0 failure after its message.
LoadResult ReadAvi(const std::string& path, Progress* progress = nullptr);

// Writes `path` (and `path` + "1.avi" on the way). 1 on success, 0 after the messages.
int WriteAvi(const std::string& path, const AnimHeader& document, const AviExportSettings& settings,
             Progress* progress = nullptr);

// How an export's samples relate to delays (in units of the time base U): either the
// largest common divisor u of the delays is one sample (scale u, rate U), or the fixed frame
// rate of the preferences decides (scale 10000, rate = frames per second x 10000).
struct AviTiming {
  int64_t scale = 1, rate = 100;  // a sample lasts scale / rate seconds
  int64_t unit = 1;               // delay units per sample
  bool fixedRate = false;
  // The sample an elapsed time (in delay units) falls in.
  int64_t sampleAt(int64_t time, int64_t timeBase) const;
};
AviTiming ChooseAviTiming(const std::vector<int>& delays, int timeBase);

}  // namespace fw
