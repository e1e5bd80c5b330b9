#pragma once
// Filmstrips: an animation laid out as one picture of tiles, and such a picture split back
// into frames.
#include <cstdint>
#include <string>

#include "core/anim_document.h"

namespace fw {

// Save option bits shared by the filmstrip, sequence and save code.
namespace save_option {
inline constexpr uint32_t kNoStyle = 1;
inline constexpr uint32_t kAnimation = 2;
inline constexpr uint32_t kForce8Bit = 4;  // write 8-bit data even where true colour exists
inline constexpr uint32_t kWant24Bit = 8;
inline constexpr uint32_t kFilmstrip = 0x10;
inline constexpr uint32_t kSequence = 0x20;
inline constexpr uint32_t kSelectedOnly = 0x40;
inline constexpr uint32_t kColumns = 0x100;
constexpr int StripCount(uint32_t options) { return static_cast<int>(options >> 16); }
constexpr uint32_t WithStrips(uint32_t options, int strips) {
  return (options & 0xFFFF) | static_cast<uint32_t>(strips) << 16;
}
}  // namespace save_option

struct StripLayout {
  int totalWidth = 0, totalHeight = 0;
  int columns = 1, rows = 1;
  bool rowOrder = true;  // left to right, then down; otherwise top to bottom, then right
};

// Frames per strip for n images in `strips` strips (strips limited to 1..n).
int FramesPerStrip(int images, int strips);

// Message 40160 or 40161 when the frames cannot share one strip picture, else 0 (nothing shown).
int FilmstripSaveProblem(const AnimHeader& document);

// One picture holding every image in its cell (each as stored, at its own offset), the strips
// being rows or, with kColumns, columns; kForce8Bit leaves out the true colour. nullptr with
// message 40159 when memory runs out.
AnimPtr ComposeFilmstrip(const AnimHeader& document, uint32_t options);
// Columns and rows of the composed picture (for the " (%dx%d)" name part).
void FilmstripGrid(int images, uint32_t options, int& columns, int& rows);

// Replaces the document's single image by its tiles in visiting order. False (document
// unchanged) when there is not exactly one image or the tiles would be empty.
bool SplitStrip(AnimHeader& document, const StripLayout& layout);

// "name (MxN).ext": M columns and N rows. False when the name does not end that way.
bool ParseFilmstripName(const std::string& path, int& columns, int& rows);
// The path with " (columns x rows)" before the extension of its file name.
std::string FilmstripFileName(const std::string& path, int columns, int rows);

// Why perRow x perColumn frames cannot be cut from the document: 40166 (not exactly one
// image), 40164 (the width is not divisible by perRow), 40165 (the height by perColumn); 0
// when they can. Shows nothing: the dialog puts the focus on the field in question.
int FilmstripImportProblem(const AnimHeader& document, int perRow, int perColumn);
// Checks (showing the problem's message) and splits; horizontal means row order. 1 when split.
int ImportFilmstrip(AnimHeader& document, int perRow, int perColumn, bool horizontal);

}  // namespace fw
