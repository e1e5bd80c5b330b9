#pragma once
// BMP files: Windows and OS/2 bitmaps in, one frame out as an 8, 24 or 32-bit bitmap.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/load_result.h"

namespace fw {

// 1 with a one-frame document, or 0 (its message shown; none when the file cannot be opened).
LoadResult ReadBmpFile(const std::string& path);
LoadResult ReadBmpMemory(const uint8_t* data, size_t size);

namespace bmp_flag {
inline constexpr int kForce8Bit = 4;
}

// 1 on success; 0 with message 40239 when the file cannot be created (or 40241 when writing
// fails). 8-bit output when the frame has no true colour or kForce8Bit is given; else 32-bit
// when it has alpha, 24-bit without.
int WriteBmpFile(const std::string& path, const ImageBlock& frame, int flags);

}  // namespace fw
