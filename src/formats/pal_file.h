#pragma once
// RIFF palette files (.pal): "RIFF", size, "PAL ", a "data" chunk with version 0x300, the
// entry count and four bytes per entry (red, green, blue, flags).
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "core/palette.h"

namespace fw {

// A new palette, or nullptr after message 40236 (empty or unreadable) or 40338 (not a RIFF
// palette in the expected layout).
std::unique_ptr<Palette> ReadPalFile(const std::string& path);
// The same for the first bytes of a file already in memory; `path` only names it in messages.
std::unique_ptr<Palette> ReadPalBytes(const uint8_t* data, size_t size, const std::string& path);
// 1, or 0 after message 40239.
int WritePalFile(const std::string& path, const Palette& palette);

// What the load-palette dialog does with the chosen file: a name ending in ".pal" (any case)
// is read as a palette file; anything else is loaded as an animation and its global palette
// taken. nullptr (messages shown) when there is none.
std::unique_ptr<Palette> LoadPaletteFromFile(const std::string& path);

}  // namespace fw
