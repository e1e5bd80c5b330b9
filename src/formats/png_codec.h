#pragma once
// One PNG stream through libpng: decoding with the transformations our frames need, encoding
// one picture to a file, a fixed memory range, a growing buffer or a byte counter. Errors
// inside libpng come back as false; nothing here shows messages.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "core/palette.h"
#include "core/read_budget.h"

namespace fw {

struct PngPicture {
  uint32_t width = 0, height = 0;
  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGBA; a colour key on RGB or 16-bit grey
  // arrives as 6 or 4.
  int colourType = 0;
  int bitDepth = 0;
  size_t rowBytes = 0;        // after the transformations
  std::vector<uint8_t> rows;  // height * rowBytes: one byte per index or grey sample, B G R (A)
  std::vector<Rgb> palette;
  bool hasTrns = false;              // a tRNS chunk with at least one entry
  std::vector<uint8_t> trnsAlpha;    // palette images: alpha per index
  int greyKey = -1;                  // grey images up to 8 bits: the transparent grey level
  bool hasPAni = false;
  std::vector<uint8_t> pAni;
};

// kOverLimit: the picture is larger than a picture or the document may be (already reported).
// kUnbacked: the stream is far too short to fill the picture it claims and the read's budget for
// such pictures is spent (not reported).
enum class PngDecodeStatus { kFailed, kTooLarge, kOverLimit, kUnbacked, kRowsRead, kComplete };

// `data` starts with the 8-byte signature, which the caller has checked. With `readEnd` the
// chunks after the image data are read too (kRowsRead when only that part fails), so that a
// pAni chunk placed there is found. A `budget` is charged for the picture before its rows are made.
PngDecodeStatus DecodePngStream(const uint8_t* data, size_t size, bool readEnd, PngPicture& out,
                                ReadBudgetScope* budget = nullptr);

struct PngOutput {
  std::FILE* file = nullptr;          // a file, or
  uint8_t* begin = nullptr;           // a fixed range [begin, end) ("Write Error" when full), or
  uint8_t* end = nullptr;
  std::vector<uint8_t>* grow = nullptr;  // a buffer that grows, or else
  size_t written = 0;                 // only counting
  bool fileFailed = false;            // the file refused bytes (the reason is noted, core/write_failure.h)
};

struct PngPictureOut {
  int width = 0, height = 0;
  int colourType = 3;  // 2, 3 or 6
  const uint8_t* pixels = nullptr;  // indexes (type 3) or blue, green, red (types 2 and 6)
  size_t stride = 0;
  const uint8_t* alpha = nullptr;  // type 6
  size_t alphaStride = 0;
  std::vector<Rgb> palette;          // type 3
  std::vector<uint8_t> trnsAlpha;    // type 3, empty for none
  std::vector<uint8_t> pAni;         // written after the image data when not empty
};

bool EncodePngStream(const PngPictureOut& picture, PngOutput& output);

}  // namespace fw
