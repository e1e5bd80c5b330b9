#include "formats/filmstrip.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "formats/format_messages.h"

namespace fw {
namespace {

int ClampStrips(int images, int strips) { return std::clamp(strips, 1, std::max(images, 1)); }

// Copies the part of `frame` that falls inside the cell at (cellX, cellY) of size w x h into the
// strip's planes. The frame keeps its own offset inside the cell.
void CopyIntoCell(const ImageBlock& frame, ImageBlock& strip, int cellX, int cellY, int w, int h) {
  const int fw = PlaneWidth(frame);
  const int fh = PlaneHeight(frame);
  const int x0 = std::max(0, -frame.left), y0 = std::max(0, -frame.top);
  const int x1 = std::min(fw, w - frame.left), y1 = std::min(fh, h - frame.top);
  if (x0 >= x1 || y0 >= y1) return;

  uint8_t* colour = strip.hasTrueColour() ? strip.trueColour.data() : nullptr;
  uint8_t* alpha = colour && !strip.alpha.empty() ? strip.alpha.data() : nullptr;
  const size_t stripStride24 = Stride24(PlaneWidth(strip));
  const size_t stripStride8 = Stride8(PlaneWidth(strip));
  const uint8_t* frameColour = TrueColourRows(frame);
  const uint8_t* frameAlpha = AlphaRows(frame);
  uint32_t entries[256];
  PaletteEntries(frame, entries);

  for (int y = y0; y < y1; ++y) {
    const int sy = cellY + frame.top + y;
    const int sx = cellX + frame.left;
    const uint8_t* indexes = frame.indexedImage ? frame.indexedImage->row(y) : nullptr;
    if (indexes && strip.indexedImage)
      std::memcpy(strip.indexedImage->row(sy) + sx + x0, indexes + x0, static_cast<size_t>(x1 - x0));
    if (!colour) continue;
    uint8_t* c = colour + static_cast<size_t>(sy) * stripStride24;
    uint8_t* a = alpha + static_cast<size_t>(sy) * stripStride8;
    for (int x = x0; x < x1; ++x) {
      const int px = sx + x;
      if (frameColour) {
        std::memcpy(c + 3 * px, frameColour + static_cast<size_t>(y) * Stride24(fw) + 3 * x, 3);
        a[px] = frameAlpha ? frameAlpha[static_cast<size_t>(y) * Stride8(fw) + x] : 255;
      } else if (indexes) {
        const uint32_t e = entries[indexes[x]];
        c[3 * px] = static_cast<uint8_t>(e);
        c[3 * px + 1] = static_cast<uint8_t>(e >> 8);
        c[3 * px + 2] = static_cast<uint8_t>(e >> 16);
        a[px] = frame.transparent() && indexes[x] == frame.transparentIndex ? 0 : 255;
      }
    }
  }
}

AnimPtr Compose(const AnimHeader& doc, uint32_t options) {
  const int n = doc.frameCount;
  const int w = std::max(1, doc.screenWidth), h = std::max(1, doc.screenHeight);
  int columns = 0, rows = 0;
  FilmstripGrid(n, options, columns, rows);
  const int64_t width = int64_t{columns} * w, height = int64_t{rows} * h;
  if (n <= 0 || width > 0xFFFF * 256 || height > 0xFFFF * 256 ||
      !PlaneSizeAllowed(Stride24(static_cast<int>(width)), static_cast<size_t>(height)))
    return nullptr;

  AnimPtr strip = CreateAnimation();
  if (!strip) return nullptr;
  strip->screenWidth = static_cast<int>(width);
  strip->screenHeight = static_cast<int>(height);
  strip->playCount = doc.playCount;
  strip->backgroundIndex = doc.backgroundIndex;
  if (doc.globalPalette) {
    auto palette = doc.globalPalette->copy();
    if (!palette) return nullptr;
    SetGlobalPalette(*strip, std::move(palette));
  }
  ImagePtr image = CreateSizedImage(strip->screenWidth, strip->screenHeight);
  if (!image) return nullptr;
  image->activePalette = strip->globalPalette.get();
  auto indexed = AllocIndexedImage(image->width, image->height, image->activePalette);
  if (!indexed) return nullptr;
  const bool backgroundInPalette = doc.globalPalette && doc.backgroundIndex < doc.globalPalette->count();
  FillIndexed(*indexed, backgroundInPalette ? doc.backgroundIndex : 0);
  SetIndexedImage(*image, std::move(indexed));

  const ImageBlock* first = FirstImage(&doc);
  bool anyTrueColour = false;
  for (const ImageBlock* f = first; f; f = NextImage(f)) anyTrueColour |= f->hasTrueColour();
  if (anyTrueColour && !(options & save_option::kForce8Bit)) {
    if (!AddTrueColour(*image, true)) return nullptr;
    uint8_t* alpha = AddAlpha(*image, true);
    if (!alpha) return nullptr;
    std::fill(image->alpha.begin(), image->alpha.end(), 255);
  }
  SetTransparentIndex(*image, first->transparentIndex);
  SetTransparency(*image, first->transparent());

  const bool byColumns = options & save_option::kColumns;
  int x = 0, y = 0;
  for (const ImageBlock* f = first; f; f = NextImage(f)) {
    CopyIntoCell(*f, *image, x, y, w, h);
    if (byColumns) {
      y += h;
      if (y + h > strip->screenHeight) {
        y = 0;
        x += w;
      }
    } else {
      x += w;
      if (x + w > strip->screenWidth) {
        x = 0;
        y += h;
      }
    }
  }
  AppendBlock(*strip, std::move(image));
  ComputeColourUsage(*strip, strip->colourUsage.data(), true);
  return strip;
}

bool AllDigits(const std::string& s) {
  return !s.empty() && s.size() <= 5 && std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c); });
}

}  // namespace

int FramesPerStrip(int images, int strips) {
  strips = ClampStrips(images, strips);
  return (std::max(images, 1) + strips - 1) / strips;
}

void FilmstripGrid(int images, uint32_t options, int& columns, int& rows) {
  const int strips = ClampStrips(images, save_option::StripCount(options));
  const int perStrip = FramesPerStrip(images, strips);
  if (options & save_option::kColumns) {
    columns = strips;
    rows = perStrip;
  } else {
    columns = perStrip;
    rows = strips;
  }
}

int FilmstripSaveProblem(const AnimHeader& document) {
  const ImageBlock* first = FirstImage(&document);
  for (const ImageBlock* f = first; f; f = NextImage(f)) {
    if (f->localPalette) return fmsg::kFilmstripLocalPalettes;
    if (f->transparent() != first->transparent() ||
        (f->transparent() && f->transparentIndex != first->transparentIndex))
      return fmsg::kFilmstripMixedTransparency;
  }
  return 0;
}

AnimPtr ComposeFilmstrip(const AnimHeader& document, uint32_t options) {
  AnimPtr strip;
  try {
    strip = Compose(document, options);
  } catch (const std::bad_alloc&) {
    strip.reset();
  }
  if (!strip) ShowMessage(fmsg::kFilmstripNoMemory);
  return strip;
}

bool SplitStrip(AnimHeader& document, const StripLayout& layout) {
  ImageBlock* source = FirstImage(&document);
  if (!source || document.frameCount != 1 || layout.columns <= 0 || layout.rows <= 0) return false;
  const int tileW = layout.totalWidth / layout.columns;
  const int tileH = layout.totalHeight / layout.rows;
  if (tileW <= 0 || tileH <= 0) return false;
  const int sourceW = PlaneWidth(*source), sourceH = PlaneHeight(*source);
  const uint8_t* colour = TrueColourRows(*source);
  const uint8_t* alpha = AlphaRows(*source);

  std::vector<ImagePtr> tiles;
  try {
    tiles.reserve(static_cast<size_t>(layout.columns) * static_cast<size_t>(layout.rows));
    const int outer = layout.rowOrder ? layout.rows : layout.columns;
    const int inner = layout.rowOrder ? layout.columns : layout.rows;
    for (int o = 0; o < outer; ++o) {
      for (int i = 0; i < inner; ++i) {
        const int col = layout.rowOrder ? i : o, row = layout.rowOrder ? o : i;
        const int x0 = col * tileW, y0 = row * tileH;
        ImagePtr tile = CreateSizedImage(tileW, tileH);
        if (!tile) return false;
        tile->activePalette = document.globalPalette.get();
        SetTransparentIndex(*tile, source->transparentIndex);
        SetTransparency(*tile, source->transparent());
        if (source->transparent()) SetDisposal(*tile, kDisposalBackground);
        if (source->indexedImage) {
          auto image = AllocIndexedImage(tileW, tileH, tile->activePalette);
          if (!image) return false;
          for (int y = 0; y < tileH && y0 + y < sourceH; ++y) {
            const int n = std::min(tileW, sourceW - x0);
            if (n > 0) std::memcpy(image->row(y), source->indexedImage->row(y0 + y) + x0, static_cast<size_t>(n));
          }
          SetIndexedImage(*tile, std::move(image));
        }
        if (colour) {
          uint8_t* c = AddTrueColour(*tile, true);
          uint8_t* a = alpha ? AddAlpha(*tile, true) : nullptr;
          if (!c || (alpha && !a)) return false;
          for (int y = 0; y < tileH && y0 + y < sourceH; ++y) {
            const int n = std::min(tileW, sourceW - x0);
            if (n <= 0) continue;
            std::memcpy(c + static_cast<size_t>(y) * Stride24(tileW),
                        colour + static_cast<size_t>(y0 + y) * Stride24(sourceW) + 3 * static_cast<size_t>(x0),
                        3 * static_cast<size_t>(n));
            if (a)
              std::memcpy(a + static_cast<size_t>(y) * Stride8(tileW),
                          alpha + static_cast<size_t>(y0 + y) * Stride8(sourceW) + x0, static_cast<size_t>(n));
          }
        }
        tiles.push_back(std::move(tile));
      }
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  RemoveBlock(source);
  document.frameCount = 0;
  BlockAppender out(document);
  for (ImagePtr& tile : tiles) out.append(std::move(tile));
  document.screenWidth = tileW;
  document.screenHeight = tileH;
  document.playCount = static_cast<int32_t>(Prefs().read(pref::kDefaultLoopCount));
  document.encodedSize = -1;
  ComputeColourUsage(document, document.colourUsage.data(), true);
  return true;
}

bool ParseFilmstripName(const std::string& path, int& columns, int& rows) {
  std::string name(BaseName(path));
  const size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  if (name.empty() || name.back() != ')') return false;
  const size_t x = name.rfind('x');
  const size_t open = name.rfind('(');
  if (x == std::string::npos || open == std::string::npos || open > x) return false;
  const std::string m = name.substr(open + 1, x - open - 1);
  const std::string n = name.substr(x + 1, name.size() - x - 2);
  if (!AllDigits(m) || !AllDigits(n)) return false;
  columns = std::stoi(m);
  rows = std::stoi(n);
  return columns > 0 && rows > 0;
}

std::string FilmstripFileName(const std::string& path, int columns, int rows) {
  const size_t baseAt = path.size() - BaseName(path).size();
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < baseAt) dot = path.size();
  return path.substr(0, dot) + FormatText(" (%dx%d)", columns, rows) + path.substr(dot);
}

int FilmstripImportProblem(const AnimHeader& document, int perRow, int perColumn) {
  const ImageBlock* only = FirstImage(&document);
  if (!only || document.frameCount != 1) return fmsg::kFilmstripNeedsOneImage;
  if (perRow <= 0 || PlaneWidth(*only) % perRow != 0) return fmsg::kFilmstripWidthNotDivisible;
  if (perColumn <= 0 || PlaneHeight(*only) % perColumn != 0) return fmsg::kFilmstripHeightNotDivisible;
  return 0;
}

int ImportFilmstrip(AnimHeader& document, int perRow, int perColumn, bool horizontal) {
  if (const int problem = FilmstripImportProblem(document, perRow, perColumn)) {
    ShowMessage(problem);
    return 0;
  }
  const ImageBlock* only = FirstImage(&document);
  StripLayout layout{PlaneWidth(*only), PlaneHeight(*only), perRow, perColumn, horizontal};
  return SplitStrip(document, layout) ? 1 : 0;
}

}  // namespace fw
