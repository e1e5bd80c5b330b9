#include "imaging/full_frames.h"

#include <algorithm>
#include <new>
#include <unordered_map>
#include <vector>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "imaging/palette_builder.h"
#include "imaging/palette_merge.h"
#include "imaging/true_colour.h"

namespace fw {
namespace {

using Picture = std::vector<uint32_t>;  // 0x00RRGGBB per screen pixel

uint32_t Pack(Rgb c) { return uint32_t{c.r} << 16 | uint32_t{c.g} << 8 | c.b; }
Rgb Unpack(uint32_t v) { return {static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)}; }

void Draw(Picture& canvas, int W, int H, const ImageBlock& f) {
  const IndexedImage& image = *f.indexedImage;
  const Palette* palette = f.activePalette;
  uint32_t colours[256] = {};
  for (int i = 0; palette && i < palette->count(); ++i) colours[i] = Pack((*palette)[i]);
  const int x0 = std::max(0, f.left), y0 = std::max(0, f.top);
  const int x1 = std::min({W, f.left + f.width, f.left + image.width});
  const int y1 = std::min({H, f.top + f.height, f.top + image.height});
  for (int y = y0; y < y1; ++y) {
    const uint8_t* src = image.row(y - f.top) + (x0 - f.left);
    uint32_t* dst = canvas.data() + static_cast<size_t>(y) * W + x0;
    for (int x = 0; x < x1 - x0; ++x)
      if (!f.transparent() || src[x] != f.transparentIndex) dst[x] = colours[src[x]];
  }
}

void Fill(Picture& canvas, int W, int H, int left, int top, int width, int height, uint32_t colour) {
  const int x0 = std::max(0, left), y0 = std::max(0, top);
  const int x1 = std::min(W, left + width), y1 = std::min(H, top + height);
  for (int y = y0; y < y1; ++y)
    std::fill(canvas.begin() + static_cast<ptrdiff_t>(y) * W + x0, canvas.begin() + static_cast<ptrdiff_t>(y) * W + std::max(x0, x1), colour);
}

// The picture as indexes into a palette of exactly its colours: the global palette when it
// holds them all, else a local one. False when it shows more than 256 colours.
bool InstallExact(AnimHeader& doc, ImageBlock& f, const Picture& picture, int W, int H,
                  const std::unordered_map<uint32_t, uint8_t>& global) {
  std::unordered_map<uint32_t, uint8_t> own;
  std::vector<Rgb> entries;
  bool allGlobal = doc.globalPalette != nullptr;
  for (uint32_t c : picture) {
    if (own.count(c)) continue;
    if (entries.size() == 256) return false;
    own.emplace(c, static_cast<uint8_t>(entries.size()));
    entries.push_back(Unpack(c));
    allGlobal = allGlobal && global.count(c);
  }
  const std::unordered_map<uint32_t, uint8_t>& map = allGlobal ? global : own;
  std::unique_ptr<Palette> local = allGlobal ? nullptr : Palette::Create(entries.data(), static_cast<int>(entries.size()));
  SetLocalPalette(f, std::move(local));
  if (allGlobal) f.activePalette = doc.globalPalette.get();
  std::unique_ptr<IndexedImage> image = AllocIndexedImage(W, H, f.activePalette);
  if (!image) throw std::bad_alloc();
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) image->row(y)[x] = map.at(picture[static_cast<size_t>(y) * W + x]);
  SetIndexedImage(f, std::move(image));
  return true;
}

// Too many colours: the picture is kept as true colour and brought onto a palette of its own
// as the stored palette-merge choice says (colour count and dithering).
bool InstallApproximated(ImageBlock& f, const Picture& picture, int W, int H) {
  std::vector<uint8_t> plane(Stride24(W) * static_cast<size_t>(H));
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      const uint32_t c = picture[static_cast<size_t>(y) * W + x];
      uint8_t* p = plane.data() + static_cast<size_t>(y) * Stride24(W) + 3 * static_cast<size_t>(x);
      p[0] = static_cast<uint8_t>(c);
      p[1] = static_cast<uint8_t>(c >> 8);
      p[2] = static_cast<uint8_t>(c >> 16);
    }
  SetIndexedImage(f, nullptr);
  SetTrueColourPlane(f, plane);
  const uint32_t word = Prefs().read(pref::kPaletteMerge);
  const int colours = TrueColourColours(word);
  PaletteBuilder builder(colours, word & merge_word::kRefinedPalette);
  builder.addTrueColour(W, H, plane.data(), Stride24(W), nullptr, 0);
  std::unique_ptr<Palette> palette = builder.makePalette(colours, false);
  if (!palette) return false;
  Palette& own = *palette;
  SetLocalPalette(f, std::move(palette));
  const bool mapped = (word & merge_word::kDither) ? MapTrueColourBlock(f, own, true) : builder.mapTrueColourBlock(f, own);
  if (!mapped) return false;
  SetTrueColourPlane(f, std::move(plane));  // the exact picture stays with the frame
  return true;
}

}  // namespace

void ReportApproximatedFrames(int count) {
  if (count > 0) ShowText("%d 帧显示的颜色多于256种, 已按调色板合并设置近似为256色.", count);
}

int UnoptimizeInColour(AnimHeader& document, Progress* progress, int* approximated) {
  const int W = document.screenWidth, H = document.screenHeight;
  const Palette* global = document.globalPalette.get();
  std::unordered_map<uint32_t, uint8_t> globalIndex;
  for (int i = global ? global->count() - 1 : -1; i >= 0; --i) globalIndex[Pack((*global)[i])] = static_cast<uint8_t>(i);
  const uint32_t background = global && document.backgroundIndex < global->count() ? Pack((*global)[document.backgroundIndex]) : 0;
  int processed = 0, inexact = 0;
  try {
    Picture canvas(static_cast<size_t>(W) * static_cast<size_t>(std::max(0, H)), background);
    SetProgressText(progress, MessageText(40147));
    StartProgress(progress, document.frameCount);
    for (ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
      if (!f->indexedImage) continue;
      const int disposal = Disposal(*f);
      const int oldLeft = f->left, oldTop = f->top, oldWidth = f->width, oldHeight = f->height;
      if (disposal != kDisposalPrevious) Draw(canvas, W, H, *f);
      Picture full = canvas;
      if (disposal == kDisposalPrevious) Draw(full, W, H, *f);
      RemoveTrueColour(*f);
      SetTransparency(*f, false);
      f->left = f->top = 0;
      f->width = W;
      f->height = H;
      if (!InstallExact(document, *f, full, W, H, globalIndex)) {
        if (!InstallApproximated(*f, full, W, H)) break;
        ++inexact;
      }
      if (disposal == kDisposalBackground) Fill(canvas, W, H, oldLeft, oldTop, oldWidth, oldHeight, background);
      SetDisposal(*f, kDisposalLeave);
      ++processed;
      if (!StepProgress(progress)) break;
    }
  } catch (const std::bad_alloc&) {
    ShowMessage(processed ? 40136 : 40134);
    if (!processed) return -1;
  }
  if (processed > 0) {
    document.encodedSize = -1;
    ComputeColourUsage(document, document.colourUsage.data(), true);
  }
  if (approximated) *approximated = inexact;
  ReportApproximatedFrames(inexact);
  return processed;
}

}  // namespace fw
