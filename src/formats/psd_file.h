#pragma once
// Photoshop PSD files (8 bits per channel): greyscale, indexed and RGB pictures in, either
// flattened or with the layers as frames; an animation out as an RGB file with one layer per
// frame and the flattened composite.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "core/load_result.h"

namespace fw {

class Progress;

// How the layers of a file become frames.
namespace psd_choice {
inline constexpr uint32_t kFlatten = 1;
inline constexpr uint32_t kLayers = 2;
inline constexpr uint32_t kBlendOverBackground = 0x100;
inline constexpr uint32_t kComposite = 0x200;
inline constexpr uint32_t kNoBlending = 0x400;
inline constexpr uint32_t kKeepBackground = 0x1000;
inline constexpr uint32_t kKeepTransparency = 0x2000;
inline constexpr uint32_t kCanvasSize = 0x4000;
// What a file with several layers gets without asking.
inline constexpr uint32_t kDefaultLayers = kLayers | kNoBlending | kKeepBackground | kKeepTransparency | kCanvasSize;
}  // namespace psd_choice

// The choice the stored preferences (word 6) make for files with several layers; 0 when they
// make none.
uint32_t PsdChoiceFromPreferences();
// Stores a choice so that PsdChoiceFromPreferences gives it back (the batch run uses it).
void StorePsdChoice(uint32_t choice);

// Asked for files with two or more layers when the caller does not take the defaults: returns
// the choice, 0 to cancel the import. Without an asker the stored preferences decide.
using PsdLayerAsker = std::function<uint32_t()>;
void SetPsdLayerAsker(PsdLayerAsker asker);

// 1 with a document of true-colour frames (indexed files: one 8-bit frame), or 0 after the
// message. `useDefaults` takes kDefaultLayers for files with several layers without asking.
LoadResult ReadPsdFile(const std::string& path, bool useDefaults, Progress* progress);
LoadResult ReadPsdMemory(const uint8_t* data, size_t size, bool useDefaults, Progress* progress);

// An RGB file: one layer per frame at its offset, a transparency channel for each, a layer
// mask too when the preferences ask for one (word 15 bit 0), and the composite of all frames
// drawn in order. 1, or 0 when the file cannot be written.
int WritePsdFile(const std::string& path, const AnimHeader& document);

}  // namespace fw
