// Bicubic resize: the images in scope become true colour at their new size in a new
// document, which goes through the palette conversion and only then replaces the old
// content, so any failure leaves the document untouched.
#include <map>
#include <new>
#include <utility>
#include <vector>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/undo_history.h"
#include "imaging/palette_merge.h"
#include "imaging/resize.h"
#include "imaging/resize_resample.h"
#include "imaging/true_colour.h"

namespace fw {
namespace {

// Raised when a plane may not be allocated: reported like any other shortage.
struct PlaneRefused {};

class WeightCache {
 public:
  const std::vector<CubicTaps>& get(int source, int dest) {
    auto [it, added] = tables_.try_emplace({source, dest});
    if (added) it->second = CubicWeightTable(source, dest);
    return it->second;
  }

 private:
  std::map<std::pair<int, int>, std::vector<CubicTaps>> tables_;
};

std::vector<uint8_t> AllocPlane(size_t stride, int height) {
  if (!PlaneSizeAllowed(stride, static_cast<size_t>(height))) throw PlaneRefused{};
  return std::vector<uint8_t>(stride * static_cast<size_t>(height), 0);
}

// The frame's picture as true colour: its own plane, or one made from its pixels and palette.
std::vector<uint8_t> SourceColour(const ImageBlock& f, int w, int h) {
  if (const uint8_t* rows = TrueColourRows(f)) return std::vector<uint8_t>(rows, rows + Stride24(w) * static_cast<size_t>(h));
  std::vector<uint8_t> colour = AllocPlane(Stride24(w), h);
  uint32_t entries[256];
  PaletteEntries(f, entries);
  const IndexedImage& image = *f.indexedImage;
  for (int y = 0; y < h; ++y) {
    const uint8_t* s = image.row(y);
    uint8_t* d = colour.data() + static_cast<size_t>(y) * Stride24(w);
    for (int x = 0; x < w; ++x) {
      const uint32_t e = entries[s[x]];
      d[3 * x] = static_cast<uint8_t>(e);
      d[3 * x + 1] = static_cast<uint8_t>(e >> 8);
      d[3 * x + 2] = static_cast<uint8_t>(e >> 16);
    }
  }
  return colour;
}

bool HasPixels(const ImageBlock& f) {
  if (TrueColourRows(f)) return true;
  if (!f.indexedImage) return false;
  const IndexedImage& image = *f.indexedImage;
  return image.pixels.size() >= image.stride() * static_cast<size_t>(image.height);
}

void CopyAttributes(ImageBlock& n, const ImageBlock& f) {
  n.selected = f.selected;
  n.formerIndex = f.formerIndex;
  n.hotspotX = f.hotspotX;
  n.hotspotY = f.hotspotY;
  n.delay = f.delay;
  n.blend = f.blend;
  n.controlFlags = f.controlFlags;
  n.transparentIndex = f.transparentIndex;
  n.descriptorFlags = f.descriptorFlags;
  AtomAddRef(f.name);
  n.name = f.name;
}

class BicubicRun {
 public:
  BicubicRun(const ScaleRecord& scale, Progress* progress) : scale_(scale), progress_(progress) {}

  // The image at its new size with true-colour data (and a mask when the old one had
  // transparency), without an 8-bit image: the palette conversion makes that.
  ImagePtr scaleImage(const ImageBlock& f, Palette* palette) {
    ImagePtr n = CreateImageBlock(nullptr);
    if (!n) throw std::bad_alloc();
    CopyAttributes(*n, f);
    n->activePalette = palette;
    n->width = ScaleLength(f.width, scale_.oldWidth, scale_.newWidth);
    n->height = ScaleLength(f.height, scale_.oldHeight, scale_.newHeight);
    n->left = ScalePosition(f.left, scale_.oldWidth, scale_.newWidth);
    n->top = ScalePosition(f.top, scale_.oldHeight, scale_.newHeight);
    if (!HasPixels(f)) return n;  // nothing to resample: only the geometry changes

    const int sw = PlaneWidth(f), sh = PlaneHeight(f);
    const int dw = n->width, dh = n->height;
    const std::vector<uint8_t> colour = SourceColour(f, sw, sh);
    const std::vector<uint8_t> mask = BlockMask(f);
    const uint8_t* alpha = AlphaRows(f);

    const std::vector<CubicTaps>& columns = weights_.get(sw, dw);
    const std::vector<CubicTaps>& rows = weights_.get(sh, dh);
    n->trueColour = AllocPlane(Stride24(dw), dh);
    if (!mask.empty()) n->alpha = AllocPlane(Stride8(dw), dh);
    ResampleColour({colour.data(), Stride24(sw)}, {mask.empty() ? nullptr : mask.data(), Stride8(sw)}, sh,
                   {n->trueColour.data(), Stride24(dw)}, {n->alpha.empty() ? nullptr : n->alpha.data(), Stride8(dw)},
                   dw, columns, rows, scratch_);
    // A real alpha plane keeps its soft edges: it is filtered like any other channel.
    if (alpha) ResampleChannel({alpha, Stride8(sw)}, sh, {n->alpha.data(), Stride8(dw)}, dw, columns, rows, scratch_);
    return n;
  }

  // 1 built, 2 stopped by the user.
  int build(const AnimHeader& doc, AnimHeader& fresh) {
    GifBlock* tail = fresh.blockList;
    fresh.frameCount = 0;
    for (const GifBlock* b = doc.blockList->next; b; b = b->next) {
      BlockPtr copy;
      const bool scaled = b->isImage() && InResizeScope(static_cast<const ImageBlock&>(*b), scale_);
      if (scaled) {
        const auto& f = static_cast<const ImageBlock&>(*b);
        copy = scaleImage(f, fresh.globalPalette.get());
        if (!f.hasTrueColour()) madeTrueColour_.push_back(static_cast<ImageBlock*>(copy.get()));
      } else {
        copy = CopyBlock(*b, fresh.globalPalette.get());
        if (!copy) throw std::bad_alloc();
      }
      GifBlock* raw = copy.release();
      Link(tail, raw);
      tail = raw;
      if (raw->isImage()) ++fresh.frameCount;
      if (scaled && !StepProgress(progress_)) return kConvertCancelled;
    }
    return kConvertDone;
  }

  // Frames that had no true colour before keep none when the conversion was told to keep it.
  void dropMadeTrueColour() {
    if (!Prefs().bit(pref::kOptionFlags, pref::kKeepTrueColour)) return;
    for (ImageBlock* f : madeTrueColour_) RemoveTrueColour(*f);
  }

 private:
  const ScaleRecord& scale_;
  Progress* progress_;
  WeightCache weights_;
  ResampleScratch scratch_;
  std::vector<ImageBlock*> madeTrueColour_;
};

}  // namespace

int ResizeBicubic(const ScaleRecord& scale, AnimHeader& document, Progress* progress) {
  try {
    AnimPtr fresh = CopyHeader(document);
    if (!fresh) throw std::bad_alloc();
    if (document.globalPalette) {
      std::unique_ptr<Palette> palette = document.globalPalette->copy();
      if (!palette) throw std::bad_alloc();
      SetGlobalPalette(*fresh, std::move(palette));
      fresh->screenFlags = document.screenFlags;
    }
    BicubicRun run(scale, progress);
    if (run.build(document, *fresh) != kConvertDone) return kConvertCancelled;
    const int converted = ConvertPalettes(nullptr, fresh.get(), 0, progress);
    if (converted != kConvertDone) return converted;  // the conversion showed its own message
    run.dropMadeTrueColour();
    ExchangeDocuments(document, *fresh);
    return 1;
  } catch (const std::bad_alloc&) {
  } catch (const PlaneRefused&) {
  }
  ShowMessage(resize_msg::kNoMemoryBicubic);
  return 0;
}

}  // namespace fw
