#include "ui/frame_tip_text.h"

#include <algorithm>

#include "core/anim_document.h"
#include "core/message_sink.h"
#include "core/number_text.h"
#include "core/string_table.h"

namespace fw {
namespace {

int DisposalName(int disposal) {
  if (disposal == kDisposalBackground) return 40221;
  if (disposal == kDisposalPrevious) return 40222;
  return 40220;
}

int TransparencyName(const ImageBlock& f) {
  if (f.hasTrueColour() && !f.alpha.empty()) return 40319;
  return f.transparent() ? 40320 : 40321;
}

int BitsPerPixel(const ImageBlock& f) {
  if (f.hasTrueColour()) return f.alpha.empty() ? 24 : 32;
  return f.indexedImage ? f.indexedImage->bitCount : 8;
}

}  // namespace

std::string FrameTipText(const ImageBlock& f, int index, uint32_t items, int timeBase, int64_t encodedBytes) {
  std::string text;
  if (items & tip_item::kNumber) text += FormatText(MessageText(40314), index + 1);
  if (items & tip_item::kSize) text += FormatText(MessageText(40315), f.width, f.height);
  if (items & tip_item::kOffset) text += FormatText(MessageText(40316), f.left, f.top);
  if (items & tip_item::kDelay) text += FormatText(MessageText(40317), GifDelayFromDocument(f.delay, timeBase));
  if (items & tip_item::kDisposal) text += FormatText(MessageText(40318), MessageText(DisposalName(f.disposal())));
  if (items & tip_item::kTransparency) text += std::string("\n") + MessageText(TransparencyName(f));
  if (items & tip_item::kPaletteType) text += std::string("\n") + MessageText(f.localPalette ? 40322 : 40323);
  if (items & tip_item::kBitsPerPixel) text += FormatText(MessageText(40324), BitsPerPixel(f));
  if (encodedBytes >= 0)
    text += FormatText(MessageText(msg::kFrameEncodedBytes), GroupThousands(encodedBytes, ',').c_str());
  if (!text.empty() && text.front() == '\n') text.erase(0, 1);
  return text;
}

TipPictureSize TipPicture(int w, int h) {
  w = std::max(1, w);
  h = std::max(1, h);
  const int longer = std::max(w, h);
  if (longer <= 400) return {w, h};
  return {std::max(1, w * 400 / longer), std::max(1, h * 400 / longer)};
}

}  // namespace fw
