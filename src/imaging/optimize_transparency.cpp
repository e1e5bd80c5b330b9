#include "imaging/optimize_transparency.h"

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

#include "core/display_mask.h"
#include "gif/byte_sink.h"
#include "gif/gif_writer.h"
#include "gif/kept_lzw.h"
#include "gif/lzw_encoder.h"
#include "imaging/bytes16.h"

namespace fw {
namespace {

// The index unchanged pixels become: the transparent index of a transparent image, else a
// palette index no kept pixel uses (so that no kept pixel turns transparent): the lowest where
// the frame's code size follows its highest index, else the highest. -1 when there is none.
int FillIndex(const ImageBlock& image, const uint8_t* changed, size_t stride) {
  if (image.transparent()) return image.transparentIndex;
  bool used[256] = {};
  const IndexedImage& pixels = *image.indexedImage;
  for (int y = 0; y < image.height; ++y) {
    const uint8_t* p = pixels.row(y);
    const uint8_t* c = changed + static_cast<size_t>(y) * stride;
    for (int x = 0; x < image.width; ++x)
      if (c[x]) used[p[x]] = true;
  }
  const int entries = image.activePalette ? image.activePalette->count() : 256;
  if (image.narrowLzwCodes) {
    for (int i = 0; i < entries; ++i)
      if (!used[i]) return i;
    return -1;
  }
  for (int i = entries - 1; i >= 0; --i)
    if (!used[i]) return i;
  return -1;
}

// The encoded size the image would have with these pixels and `fill` transparent, or `bound`
// when that is reached; its LZW data goes to `data`.
int64_t MeasureWith(ImageBlock& image, PixelBytes& candidate, int fill, int64_t bound, std::vector<uint8_t>& data) {
  IndexedImage& pixels = *image.indexedImage;
  const uint8_t flags = image.controlFlags, index = image.transparentIndex;
  std::swap(pixels.pixels, candidate);
  image.controlFlags |= 1;
  image.transparentIndex = static_cast<uint8_t>(fill);
  const int64_t size = FrameEncodedSizeBelow(image, bound, &data);
  std::swap(pixels.pixels, candidate);
  image.controlFlags = flags;
  image.transparentIndex = index;
  return size;
}

// Unchanged pixels of a row (c[x] == 0) become `fill`; returns how many did not hold it yet.
int FillUnchangedRow(uint8_t* p, const uint8_t* c, int width, uint8_t fill) {
  int replaced = 0, x = 0;
  const Bytes16 fills = fill - Bytes16{};
  // Comparisons give lanes of 0xFF, so subtracting them counts; a lane holds up to 255.
  Bytes16 counts{};
  int blocks = 0;
  for (; x + 16 <= width; x += 16) {
    const Bytes16 pixels = Load16(p + x);
    const Bytes16 unchanged = Load16(c + x) == 0;
    counts -= unchanged & (pixels != fills);
    Store16(p + x, unchanged ? fills : pixels);
    if (++blocks == 255) {
      replaced += SumLanes(counts);
      counts = Bytes16{};
      blocks = 0;
    }
  }
  replaced += SumLanes(counts);
  for (; x < width; ++x)
    if (!c[x] && p[x] != fill) {
      p[x] = fill;
      ++replaced;
    }
  return replaced;
}

// Candidate A: every unchanged pixel becomes the fill index. Returns the number replaced.
int EveryUnchangedPixel(const ImageBlock& image, const uint8_t* changed, size_t stride, uint8_t fill,
                        PixelBytes& out) {
  out = image.indexedImage->pixels;
  const size_t rowBytes = image.indexedImage->stride();
  int replaced = 0;
  for (int y = 0; y < image.height; ++y)
    replaced += FillUnchangedRow(out.data() + static_cast<size_t>(y) * rowBytes,
                                 changed + static_cast<size_t>(y) * stride, image.width, fill);
  return replaced;
}

// LZW data of measured candidates: the best so far, kept with the image in the end so that
// settling the clear rules and Save need not encode it again, and the one being measured.
// They keep their memory from one image to the next: fresh memory for every measurement of
// a large image cost more in page faults than keeping the data saved.
struct MeasuredData {
  std::vector<uint8_t> best, candidate;
};

MeasuredData& ThreadMeasuredData() {
  thread_local MeasuredData data;
  return data;
}

// Candidate B: only runs of two or more unchanged pixels are looked at. A run continuing the
// index of the pixel before it keeps that stretch (it extends the same LZW run) and loses the
// rest; a run of one index is kept whole; any other run becomes the fill index. Returns the
// number of runs changed.
int UnchangedRuns(const ImageBlock& image, const uint8_t* changed, size_t stride, uint8_t fill,
                  PixelBytes& out) {
  out = image.indexedImage->pixels;
  const size_t rowBytes = image.indexedImage->stride();
  const int w = image.width;
  int treated = 0;
  for (int y = 0; y < image.height; ++y) {
    uint8_t* p = out.data() + static_cast<size_t>(y) * rowBytes;
    const uint8_t* c = changed + static_cast<size_t>(y) * stride;
    int x = 0;
    while (x < w) {
      if (c[x]) {
        ++x;
        continue;
      }
      const int start = x;
      while (x < w && !c[x]) ++x;
      if (x - start < 2) continue;
      int from = start;
      if (start > 0 && p[start] == p[start - 1]) {
        while (from < x && p[from] == p[start - 1]) ++from;
      } else {
        bool uniform = true;
        for (int k = start + 1; k < x && uniform; ++k) uniform = p[k] == p[start];
        if (uniform) from = x;
      }
      if (from < x) {
        std::fill(p + from, p + x, fill);
        ++treated;
      }
    }
  }
  return treated;
}

// The two values each unchanged pixel may take: the colour it shows (its own index or, where it
// is transparent over a colour the palette has, that colour's index) and the fill index.
struct UnchangedChoices {
  IndexedImage opaque, filled;
};

UnchangedChoices ChoicesOf(const ImageBlock& image, const uint8_t* changed, const uint8_t* shown, size_t stride,
                           uint8_t fill) {
  const IndexedImage& pixels = *image.indexedImage;
  UnchangedChoices choices;
  for (IndexedImage* plane : {&choices.opaque, &choices.filled}) {
    plane->width = pixels.width;
    plane->height = pixels.height;
    plane->pixels = pixels.pixels;
  }
  const size_t rowBytes = pixels.stride();
  const Bytes16 fills = fill - Bytes16{};
  for (int y = 0; y < image.height; ++y) {
    const size_t at = static_cast<size_t>(y) * rowBytes;
    uint8_t* o = choices.opaque.pixels.data() + at;
    uint8_t* f = choices.filled.pixels.data() + at;
    const uint8_t* c = changed + static_cast<size_t>(y) * stride;
    const uint8_t* s = shown + at;
    int x = 0;
    for (; x + 16 <= image.width; x += 16) {
      const Bytes16 unchanged = Load16(c + x) == 0;
      const Bytes16 own = Load16(o + x);
      Store16(o + x, (unchanged & (own == fills)) ? Load16(s + x) : own);
      Store16(f + x, unchanged ? fills : Load16(f + x));
    }
    for (; x < image.width; ++x) {
      if (c[x]) continue;
      if (o[x] == fill) o[x] = s[x];
      f[x] = fill;
    }
  }
  return choices;
}

// The code size the frame would be written with, holding these pixels.
int MinCodeSizeWith(ImageBlock& image, PixelBytes& pixels) {
  std::swap(image.indexedImage->pixels, pixels);
  const int bits = FrameMinCodeSize(image);
  std::swap(image.indexedImage->pixels, pixels);
  return bits;
}

// Candidate D: the encoder picks, pixel by pixel, whichever value extends the string it is
// coding, trying the fill index first (runs of it are what the other candidates build on) or
// the colour first (the table then learns the picture, which small images code better with).
// `bits` is the code size both choices together need. Returns the bytes of the LZW data
// (which goes to `data`), which the plain encoder writes again for these pixels; 0 when it
// could not encode or the data reached `giveUpAt` bytes, -1 when the pixels chosen take
// another code size (indexes beyond the palette), so that only measuring tells.
int64_t ChosenByEncoder(ImageBlock& image, const UnchangedChoices& choices, int bits, bool opaqueFirst,
                        int64_t giveUpAt, PixelBytes& out, std::vector<uint8_t>& data) {
  IndexedImage chosen = opaqueFirst ? choices.opaque : choices.filled;
  const IndexedImage& other = opaqueFirst ? choices.filled : choices.opaque;
  MemorySink sink;
  sink.bytes.swap(data);
  sink.bytes.clear();
  const bool encoded = ThreadLzwEncoder().encodeChoosing(sink, chosen, other, image.width, image.height,
                                                         image.interlaced(), bits, image.lzwClearRule, giveUpAt);
  data.swap(sink.bytes);
  if (!encoded) return 0;
  out.swap(chosen.pixels);
  // Without narrow codes no code size is narrower than the palette's: only a wider one can
  // change.
  const int paletteBits = std::max(2, image.activePalette ? PaletteBits(image.activePalette->count()) : 8);
  const bool sameBits = (bits == paletteBits && !image.narrowLzwCodes) || MinCodeSizeWith(image, out) == bits;
  return sameBits ? sink.total() : -1;
}

}  // namespace

CandidateHistory::CandidateHistory() { lastWin_.fill(-kRemembered - 1); }

bool CandidateHistory::worthMeasuring(Candidate candidate) const {
  return image_ < kFirstImages || image_ % kEveryImage == 0 || image_ - lastWin_[candidate] <= kRemembered;
}

void CandidateHistory::record(int winner) {
  lastWin_[winner >= 0 && winner < kCount ? winner : kAsItIs] = image_;
  ++image_;
}

bool SubstituteTransparency(ImageBlock& image, const uint8_t* changed, size_t stride, int64_t* size,
                            const ShownUnder& shownUnder, CandidateHistory* history, int64_t inputSize) {
  if (size) *size = 0;
  if (!image.indexedImage || image.indexedImage->width != image.width || image.indexedImage->height != image.height)
    return false;
  const int fill = FillIndex(image, changed, stride);
  if (fill < 0) return false;
  const auto measuring = [&](CandidateHistory::Candidate c) { return !history || history->worthMeasuring(c); };
  MeasuredData& data = ThreadMeasuredData();
  PixelBytes chosen, candidate;
  int64_t best = 0;  // 0 while nothing is measured
  int winner = -1;
  bool bestFilledTable = true, filledTable = false;
  const auto boundOfBest = [&] { return best > 0 ? best : LzwEncoder::kNoLimit; };
  const auto keepWhenSmaller = [&](CandidateHistory::Candidate which, int64_t measured = 0) {
    if (measured <= 0) measured = MeasureWith(image, candidate, fill, boundOfBest(), data.candidate);
    const bool filled = ThreadLzwEncoder().filledTable();
    filledTable |= filled;
    if (measured > 0 && (best <= 0 || measured < best)) {
      best = measured;
      winner = which;
      bestFilledTable = filled;
      chosen.swap(candidate);
      data.best.swap(data.candidate);
    }
  };
  if (measuring(CandidateHistory::kEveryUnchanged) &&
      EveryUnchangedPixel(image, changed, stride, static_cast<uint8_t>(fill), candidate) > 0)
    keepWhenSmaller(CandidateHistory::kEveryUnchanged);
  const std::vector<uint8_t> shownPlane = shownUnder ? shownUnder(fill) : std::vector<uint8_t>();
  const uint8_t* shown = shownPlane.empty() ? nullptr : shownPlane.data();
  std::optional<UnchangedChoices> choices;
  if (shown) {
    choices = ChoicesOf(image, changed, shown, stride, static_cast<uint8_t>(fill));
    // Candidate C: every unchanged pixel drawn in its colour, as far as the palette allows.
    if (measuring(CandidateHistory::kShownColours) && choices->opaque.pixels != image.indexedImage->pixels) {
      candidate = choices->opaque.pixels;
      keepWhenSmaller(CandidateHistory::kShownColours);
    }
  }
  // Where the table fills, candidate B and candidate D taking the colour first never measured
  // smaller than the others on any file we tried, while each costs an encoding of the image:
  // they are left to images the table covers, which are cheap to encode. Without the shown
  // colours B is the only runs candidate there is.
  const auto everyCandidate = [&] { return !shown || !filledTable; };
  if (measuring(CandidateHistory::kUnchangedRuns) && everyCandidate() &&
      UnchangedRuns(image, changed, stride, static_cast<uint8_t>(fill), candidate) > 0)
    keepWhenSmaller(CandidateHistory::kUnchangedRuns);
  if (choices) {
    const int64_t overhead = FrameOverheadSize(image);
    const int bits =
        std::max(MinCodeSizeWith(image, choices->filled.pixels), MinCodeSizeWith(image, choices->opaque.pixels));
    for (const bool opaqueFirst : {false, true}) {
      const auto which = opaqueFirst ? CandidateHistory::kColourFirst : CandidateHistory::kFillFirst;
      if (!measuring(which) || (opaqueFirst && !everyCandidate())) continue;
      const int64_t giveUpAt = best > 0 ? best - overhead : LzwEncoder::kNoLimit;
      if (const int64_t bytes =
              ChosenByEncoder(image, *choices, bits, opaqueFirst, giveUpAt, candidate, data.candidate);
          bytes != 0 && overhead > 0)
        keepWhenSmaller(which, bytes > 0 ? overhead + bytes : 0);
    }
  }
  const auto takeChosen = [&] {
    if (history) history->record(winner);
    if (size) *size = best;
    image.indexedImage->pixels.swap(chosen);
    image.controlFlags |= 1;
    image.transparentIndex = static_cast<uint8_t>(fill);
    BuildDisplayMask(image);
    KeepLzwData(image, FrameMinCodeSize(image), data.best, bestFilledTable);
    return true;
  };
  // The image as it came, last: only as far as the best candidate's size, which it keeps to on
  // a tie. It is what keeps a substitution from making the image larger, unless the best
  // candidate is already smaller than the image was before the optimization.
  if (best > 0 && best < inputSize && !measuring(CandidateHistory::kAsItIs)) return takeChosen();
  // With a history, a candidate that saves next to nothing loses to the image as it came, and
  // so stops being measured on every image.
  const int64_t tie = history && best > 0 ? best + best / 512 : best;
  const int64_t asItIs =
      FrameEncodedSizeBelow(image, best > 0 ? tie + 1 : LzwEncoder::kNoLimit, &data.candidate);
  if (asItIs > 0 && (best <= 0 || asItIs <= tie)) {
    best = asItIs;
    winner = -1;
    bestFilledTable = ThreadLzwEncoder().filledTable();
    chosen.clear();
    data.best.swap(data.candidate);
  }
  if (!chosen.empty()) return takeChosen();
  if (history) history->record(winner);
  if (size) *size = best;
  if (best > 0) KeepLzwData(image, FrameMinCodeSize(image), data.best, bestFilledTable);
  return false;
}

}  // namespace fw
