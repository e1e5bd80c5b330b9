#pragma once
// JPEG through libjpeg-turbo: a file in as one true-colour frame, one frame out.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/load_result.h"

namespace fw {

// 1 with a one-frame document holding only true colour, or 0 (its message shown; none when the
// file cannot be opened).
LoadResult ReadJpegFile(const std::string& path);
LoadResult ReadJpegMemory(const uint8_t* data, size_t size);

// Writes the frame's true-colour plane as a baseline JPEG at the preferred quality. 1 on
// success; 0 when the frame has no true colour, the file cannot be created or encoding fails.
int WriteJpegFile(const std::string& path, const ImageBlock& frame);

// Quality from word 16 bits 8-15: level L (0 meaning 6) gives L * 5 + 45.
int JpegQuality();

}  // namespace fw
