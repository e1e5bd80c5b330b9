#include "core/anim_document.h"

#include <new>

#include "core/display_mask.h"
#include "core/preferences.h"
#include "core/progress.h"

namespace fw {

AnimHeader::AnimHeader() : blockList(new GifBlock(block_kind::kSentinel)) {}

AnimHeader::~AnimHeader() {
  // Long animations make long lists and chains: free both without recursion.
  GifBlock* block = blockList;
  while (block) {
    GifBlock* next = block->next;
    delete block;
    block = next;
  }
  std::unique_ptr<AnimHeader> chain = std::move(nextInChain);
  while (chain) chain = std::move(chain->nextInChain);
}

AnimPtr CreateAnimation() {
  try {
    return std::make_unique<AnimHeader>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

AnimPtr CreateBlankAnimation(int width, int height) {
  AnimPtr header = CreateAnimation();
  if (!header) return nullptr;
  ImagePtr image = CreateSizedImage(width, height);
  if (!image) return nullptr;
  header->screenWidth = width;
  header->screenHeight = height;
  header->playCount = static_cast<int32_t>(Prefs().read(pref::kDefaultLoopCount));
  AppendBlock(*header, std::move(image));
  return header;
}

ImagePtr CreateImageBlock(const uint8_t* graphicControl) {
  ImagePtr image;
  try {
    image = std::make_unique<ImageBlock>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (graphicControl) {
    image->controlFlags = graphicControl[0];
    image->delay = GifDelayToDocument(graphicControl[1] | graphicControl[2] << 8, Prefs().timeBase());
    image->transparentIndex = graphicControl[3];
  } else {
    image->delay = static_cast<int32_t>(Prefs().read(pref::kDefaultDelay));
  }
  return image;
}

ImagePtr CreateSizedImage(int width, int height) {
  ImagePtr image = CreateImageBlock(nullptr);
  if (image) {
    image->width = width;
    image->height = height;
  }
  return image;
}

std::unique_ptr<ExtensionBlock> CreateExtensionBlock(uint8_t kind) {
  try {
    return std::make_unique<ExtensionBlock>(kind);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

GifBlock* FreeBlock(GifBlock* block) {
  if (!block) return nullptr;
  GifBlock* next = block->next;
  delete block;
  return next;
}

void FreeAnimation(AnimPtr header) { header.reset(); }

void SetIndexedImage(ImageBlock& frame, std::unique_ptr<IndexedImage> image) {
  frame.indexedImage = std::move(image);
  if (frame.transparent() || HasDisplayMask(frame)) BuildDisplayMask(frame);
}

AnimPtr CopyHeader(const AnimHeader& h) {
  AnimPtr c = CreateAnimation();
  if (!c) return nullptr;
  c->screenWidth = h.screenWidth;
  c->screenHeight = h.screenHeight;
  c->playCount = h.playCount;
  c->frameCount = h.frameCount;
  c->hideFirstFrame = h.hideFirstFrame;
  c->selectionAnchor = h.selectionAnchor;
  c->selectedCount = h.selectedCount;
  c->screenFlags = 0;  // no global palette yet
  c->backgroundIndex = h.backgroundIndex;
  c->aspectByte = h.aspectByte;
  c->encodedSize = h.encodedSize;
  c->colourUsage = h.colourUsage;
  return c;
}

static void CopyImageFields(ImageBlock& c, const ImageBlock& f) {
  c.selected = f.selected;
  c.formerIndex = f.formerIndex;
  c.left = f.left;
  c.top = f.top;
  c.width = f.width;
  c.height = f.height;
  c.hotspotX = f.hotspotX;
  c.hotspotY = f.hotspotY;
  c.delay = f.delay;
  c.blend = f.blend;
  c.controlFlags = f.controlFlags;
  c.transparentIndex = f.transparentIndex;
  c.descriptorFlags = f.descriptorFlags;
  c.lzwClearRule = f.lzwClearRule;
  c.narrowLzwCodes = f.narrowLzwCodes;
  c.keptLzw = f.keptLzw;
  c.name = f.name;
  AtomAddRef(c.name);
}

namespace {

// A frame copied with or without its indexed pixels; one without gets no display mask either.
ImagePtr CopyImageWith(const ImageBlock& f, Palette* palette, bool withPixels) {
  try {
    auto c = std::make_unique<ImageBlock>();
    CopyImageFields(*c, f);
    if (f.localPalette) {
      c->localPalette = f.localPalette->copy();
      if (!c->localPalette) return nullptr;
      c->activePalette = c->localPalette.get();
    } else {
      c->activePalette = palette;
    }
    if (f.indexedImage && withPixels) {
      c->indexedImage = CopyIndexedImage(*f.indexedImage);
      if (!c->indexedImage) return nullptr;
      SetColourTable(*c->indexedImage, c->activePalette);
    }
    c->trueColour = f.trueColour;
    if (!f.trueColour.empty()) c->alpha = f.alpha;
    // The mask is derived, never copied: the copy builds its own.
    if (withPixels) BuildDisplayMask(*c);
    return c;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace

ImagePtr CopyImage(const ImageBlock& f, Palette* palette) { return CopyImageWith(f, palette, true); }

BlockPtr CopyBlock(const GifBlock& block, Palette* palette) {
  if (block.isImage()) return CopyImage(static_cast<const ImageBlock&>(block), palette);
  try {
    if (block.isExtension()) {
      auto c = std::make_unique<ExtensionBlock>(block.kind);
      c->data = static_cast<const ExtensionBlock&>(block).data;
      return c;
    }
    return std::make_unique<GifBlock>(block.kind);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace {

AnimPtr CopyBlocks(const AnimHeader& header, Progress* progress,
                   const std::function<bool(const ImageBlock&)>* leaveOutPixels) {
  AnimPtr copy = CopyHeader(header);
  if (!copy) return nullptr;
  if (header.globalPalette) {
    auto palette = header.globalPalette->copy();
    if (!palette) return nullptr;
    SetGlobalPalette(*copy, std::move(palette));
  }
  copy->screenFlags = header.screenFlags;
  copy->frameCount = 0;
  StartProgress(progress, header.frameCount);
  GifBlock* tail = copy->blockList;
  for (GifBlock* b = header.blockList->next; b; b = b->next) {
    Palette* const palette = copy->globalPalette.get();
    BlockPtr c;
    if (b->isImage() && leaveOutPixels) {
      const auto& f = static_cast<const ImageBlock&>(*b);
      c = CopyImageWith(f, palette, !(*leaveOutPixels)(f));
    } else {
      c = CopyBlock(*b, palette);
    }
    if (!c) return nullptr;
    GifBlock* raw = c.release();
    Link(tail, raw);
    tail = raw;
    if (raw->isImage()) {
      ++copy->frameCount;
      if (!StepProgress(progress)) break;
    }
  }
  return copy;
}

}  // namespace

AnimPtr CopyAnimation(const AnimHeader& header, Progress* progress) { return CopyBlocks(header, progress, nullptr); }

AnimPtr CopyAnimationLeavingOutPixels(const AnimHeader& header,
                                      const std::function<bool(const ImageBlock&)>& leaveOut) {
  return CopyBlocks(header, nullptr, &leaveOut);
}

void CopyFrameProperties(ImageBlock& target, const ImageBlock& source) {
  target.delay = source.delay;
  SetInterlaced(target, Interlaced(source));
  SetDisposal(target, Disposal(source));
  if (target.name != source.name) {
    AtomAddRef(source.name);
    AtomRelease(target.name);
    target.name = source.name;
  }
}

ImagePtr CopyFrameShell(const ImageBlock& image) {
  ImagePtr shell = CreateImageBlock(nullptr);
  if (!shell) return nullptr;
  CopyFrameProperties(*shell, image);
  shell->left = image.left;
  shell->top = image.top;
  // Exchanged with the frame's by SwapFrameProperties, so it must be the frame's own.
  shell->blend = image.blend;
  SetTransparency(*shell, image.transparent());
  return shell;
}

AnimPtr CopyAnimationShell(const AnimHeader& header) {
  AnimPtr copy = CopyHeader(header);
  if (!copy) return nullptr;
  copy->frameCount = 0;
  BlockAppender out(*copy);
  for (ImageBlock* f = FirstImage(&header); f; f = NextImage(f)) {
    ImagePtr shell = CopyFrameShell(*f);
    if (!shell) return nullptr;
    out.append(std::move(shell));
  }
  return copy;
}

void SwapPixelContent(ImageBlock& a, ImageBlock& b) {
  std::swap(a.indexedImage, b.indexedImage);
  std::swap(a.transparentIndex, b.transparentIndex);
  std::swap(a.controlFlags, b.controlFlags);
  std::swap(a.trueColour, b.trueColour);
  std::swap(a.alpha, b.alpha);
  // Each mask follows the pixels and transparent index it was built from.
  std::swap(a.maskBitmap, b.maskBitmap);
  a.displayColour.clear();
  b.displayColour.clear();
  if (a.localPalette || b.localPalette) {
    std::swap(a.localPalette, b.localPalette);
    std::swap(a.activePalette, b.activePalette);
  }
}

void SwapImageContent(ImageBlock& a, ImageBlock& b) {
  SwapPixelContent(a, b);
  std::swap(a.left, b.left);
  std::swap(a.top, b.top);
  std::swap(a.width, b.width);
  std::swap(a.height, b.height);
}

void SwapFrameProperties(ImageBlock& a, ImageBlock& b, bool withTransparency, bool withDisposal) {
  std::swap(a.delay, b.delay);
  const bool ia = Interlaced(a), ib = Interlaced(b);
  SetInterlaced(a, ib);
  SetInterlaced(b, ia);
  std::swap(a.blend, b.blend);
  std::swap(a.name, b.name);
  std::swap(a.left, b.left);
  std::swap(a.top, b.top);
  if (withDisposal) {
    const int da = Disposal(a);
    SetDisposal(a, Disposal(b));
    SetDisposal(b, da);
  }
  if (withTransparency) {
    const bool ta = a.transparent();
    SetTransparency(a, b.transparent());
    SetTransparency(b, ta);
  }
}

}  // namespace fw
