#pragma once
// Animated cursors (.ani): a RIFF "ACON" form holding a header, per-step display rates and
// frame order, and one complete icon or cursor file per frame.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/load_result.h"

namespace fw {

// Shown when a file is not an animated cursor we can read.
inline constexpr const char* kAniNotReadable = "Not a valid animated cursor (ANI) file.";

// One frame per step, each with its rate as delay and its cursor's hotspot. 1 with a document,
// or 0 after the message.
LoadResult ReadAniFile(const std::string& path);
LoadResult ReadAniMemory(const uint8_t* data, size_t size);

// One cursor per frame, one step per frame. 1, or 0 when the file cannot be written.
int WriteAniFile(const std::string& path, const AnimHeader& document);

// Display rates are in jiffies (1/60 s); delays here are in hundredths.
// Longer rates than a GIF delay can hold are cut to its largest value.
inline int JiffiesToHundredths(uint32_t jiffies) {
  const uint64_t hundredths = (uint64_t{jiffies} * 100 + 30) / 60;
  return static_cast<int>(hundredths > 65535 ? 65535 : hundredths);
}
inline uint32_t HundredthsToJiffies(int hundredths) {
  return hundredths <= 0 ? 0 : static_cast<uint32_t>((int64_t{hundredths} * 60 + 50) / 100);
}

}  // namespace fw
