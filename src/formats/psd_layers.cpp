// PSD layers as frames. Everything is placed in canvas coordinates from the start: a frame
// that would later be cut to the canvas is never made larger than its part of the canvas,
// so a layer that claims to be huge costs no more memory than the canvas it lies on.
#include <algorithm>
#include <cstring>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/progress.h"
#include "core/read_budget.h"
#include "core/string_table.h"
#include "formats/psd_file.h"
#include "formats/psd_layers.h"
#include "formats/psd_stream.h"

namespace fw::psd {
namespace {

struct Rect {
  int64_t left = 0, top = 0, right = 0, bottom = 0;
  int64_t width() const { return std::max<int64_t>(0, right - left); }
  int64_t height() const { return std::max<int64_t>(0, bottom - top); }
  bool empty() const { return width() == 0 || height() == 0; }
  Rect intersect(const Rect& o) const {
    return {std::max(left, o.left), std::max(top, o.top), std::min(right, o.right), std::min(bottom, o.bottom)};
  }
};

struct Channel {
  int id = 0;
  uint32_t length = 0;
  size_t offset = 0;
};

struct Layer {
  Rect rect;
  std::vector<Channel> channels;
  uint8_t opacity = 255;
  bool maskApplies = false;
  Rect mask;
  uint8_t maskDefault = 0;
};

bool ParseRecords(Cursor& in, int count, std::vector<Layer>& layers) {
  for (int i = 0; i < count; ++i) {
    Layer layer;
    layer.rect.top = in.s32();
    layer.rect.left = in.s32();
    layer.rect.bottom = in.s32();
    layer.rect.right = in.s32();
    const int channels = in.u16();
    if (!in.has(uint64_t{6} * static_cast<uint64_t>(channels))) return false;
    layer.channels.resize(static_cast<size_t>(channels));
    for (Channel& c : layer.channels) {
      c.id = in.s16();
      c.length = in.u32();
    }
    if (!in.tag("8BIM")) return false;
    in.skip(4);  // blend mode
    layer.opacity = in.u8();
    in.skip(3);  // clipping, flags, filler
    const uint32_t extra = in.u32();
    const size_t extraStart = in.at();
    if (!in.ok() || !in.has(extra)) return false;
    if (extra >= 4) {
      const uint32_t maskLength = in.u32();
      if (maskLength >= 20 && extra >= 22) {
        layer.mask.top = in.s32();
        layer.mask.left = in.s32();
        layer.mask.bottom = in.s32();
        layer.mask.right = in.s32();
        layer.maskDefault = in.u8();
        const uint8_t flags = in.u8();
        layer.maskApplies = !(flags & 2);
        if (flags & 1) {
          layer.mask.left += layer.rect.left;
          layer.mask.right += layer.rect.left;
          layer.mask.top += layer.rect.top;
          layer.mask.bottom += layer.rect.top;
        }
      }
    }
    in.skip(extra - (in.at() - extraStart));
    if (!in.ok()) return false;
    layers.push_back(std::move(layer));
  }
  return true;
}

// Copies the part of one stored channel that falls inside `into` (canvas coordinates) into a
// plane of the frame, `pixelStep` bytes apart. False when the channel data is damaged.
bool ReadChannel(const uint8_t* data, int depth, const Channel& c, const Rect& stored, const Rect& frame, const Rect& into,
                 uint8_t* plane, size_t stride, int pixelStep, std::vector<uint8_t>& row, bool& cut) {
  if (stored.empty() || into.empty()) return true;
  if (c.length < 2) {
    // A channel with no data for a layer that has pixels: they stay blank.
    cut = true;
    return true;
  }
  const uint8_t* p = data + c.offset;
  PlaneSet planes;
  if (!planes.init(p + 2, c.length - 2, p[0] << 8 | p[1], static_cast<uint64_t>(stored.width()),
                   static_cast<uint64_t>(stored.height()), 1, depth))
    return false;
  cut |= planes.cut();
  const Rect part = into.intersect(stored);
  if (part.empty()) return true;
  const size_t count = static_cast<size_t>(part.width());
  row.assign(count, 0);
  for (int64_t y = part.top; y < part.bottom; ++y) {
    std::fill(row.begin(), row.end(), 0);
    planes.row(0, static_cast<uint64_t>(y - stored.top), static_cast<uint64_t>(part.left - stored.left), count, row.data());
    uint8_t* out = plane + static_cast<size_t>(y - frame.top) * stride + static_cast<size_t>(part.left - frame.left) * static_cast<size_t>(pixelStep);
    for (size_t x = 0; x < count; ++x) out[x * static_cast<size_t>(pixelStep)] = row[x];
  }
  return true;
}

// Bytes of one sample plane that a channel's data can make at most.
uint64_t ChannelCapacity(const uint8_t* data, int depth, const Channel& c) {
  if (c.length < 2) return 0;
  const uint8_t* p = data + c.offset;
  const uint64_t bytes = c.length - 2;
  uint64_t samples = 0;
  switch (p[0] << 8 | p[1]) {
    case 0: samples = bytes; break;
    case 1: samples = bytes * 64; break;  // a run of 128 from every two bytes
    case 2:
    case 3: samples = MostBytesFromDeflate(bytes); break;
    default: break;
  }
  return samples / static_cast<uint64_t>(std::max(1, depth / 8));
}

// The part of a frame's `frameBytes` that the layer's data can account for: the share of its
// colour samples its channels can fill.
uint64_t BackedBytes(const uint8_t* data, int depth, const Layer& layer, uint64_t frameBytes) {
  const uint64_t pixels = static_cast<uint64_t>(layer.rect.width()) * static_cast<uint64_t>(layer.rect.height());
  if (pixels == 0) return frameBytes;
  uint64_t filled = 0, wanted = 0;
  for (const Channel& c : layer.channels)
    if (c.id >= 0) {
      wanted += pixels;
      filled += std::min(pixels, ChannelCapacity(data, depth, c));
    }
  if (wanted == 0) return 0;
  return static_cast<uint64_t>(static_cast<long double>(frameBytes) * static_cast<long double>(filled) /
                               static_cast<long double>(wanted));
}

class LayerReader {
 public:
  LayerReader(const uint8_t* data, const FileHeader& header, uint32_t choice, AnimHeader& document)
      : data_(data), header_(header), choice_(choice), doc_(document),
        canvas_{0, 0, header.width, header.height} {}

  LayerOutcome run(const std::vector<Layer>& layers, Progress* progress);
  bool cut() const { return cut_; }

 private:
  bool keep() const { return choice_ & psd_choice::kKeepTransparency; }
  ImagePtr makeFrame(const Layer& layer, const Rect& frame, bool& damaged);
  bool composite(ImageBlock& frame, const Rect& rect);
  void overBackground(ImageBlock& frame);
  bool enlarge(ImageBlock& frame);

  const uint8_t* data_;
  FileHeader header_;
  uint32_t choice_;
  AnimHeader& doc_;
  Rect canvas_;
  Rect box_;
  ImageBlock composite_;  // planes only, the size of box_
  ImageBlock* background_ = nullptr;
  std::vector<uint8_t> row_;
  size_t bytes_ = 0;
  bool cut_ = false;  // some channel's data was missing or cut short
  ReadBudgetScope budget_;
  bool refused_ = false;  // a frame was over the read's budget or the document's limit (said)
};

ImagePtr LayerReader::makeFrame(const Layer& layer, const Rect& rect, bool& damaged) {
  const int w = static_cast<int>(rect.width()), h = static_cast<int>(rect.height());
  // Each frame is at most the canvas, but a file may hold many layers: all frames together
  // get no more than one plane may.
  const size_t frameBytes = (Stride24(w) + Stride8(w)) * static_cast<size_t>(h);
  bytes_ += frameBytes;
  if (bytes_ > MaxPlaneBytes()) return nullptr;
  // A layer whose channels hold little or no data would be made of blank pixels.
  if (!budget_.admitFrame(int64_t{w} * h)) {
    refused_ = true;
    return nullptr;
  }
  if (!budget_.admitUnbacked(frameBytes, BackedBytes(data_, header_.depth, layer, frameBytes))) {
    ReadBudget::refuseUnbacked();
    refused_ = true;
    return nullptr;
  }
  ImagePtr frame = CreateSizedImage(w, h);
  if (!frame) return nullptr;
  frame->left = static_cast<int32_t>(rect.left);
  frame->top = static_cast<int32_t>(rect.top);
  uint8_t* colour = AddTrueColour(*frame, true);
  if (!colour) return nullptr;
  const size_t s24 = Stride24(w), s8 = Stride8(w);
  const Rect covered = layer.rect.intersect(rect);
  bool hasAlphaChannel = false, hasGreen = false, hasBlue = false;
  for (const Channel& c : layer.channels) {
    hasAlphaChannel |= c.id == -1;
    hasGreen |= c.id == 1;
    hasBlue |= c.id == 2;
  }
  const bool partial = covered.left != rect.left || covered.top != rect.top || covered.right != rect.right ||
                       covered.bottom != rect.bottom;
  uint8_t* alpha = nullptr;
  if (hasAlphaChannel || partial || layer.maskApplies) {
    alpha = AddAlpha(*frame, true);
    if (!alpha) return nullptr;
    for (int64_t y = covered.top; y < covered.bottom; ++y)
      std::fill_n(alpha + static_cast<size_t>(y - rect.top) * s8 + static_cast<size_t>(covered.left - rect.left),
                  static_cast<size_t>(covered.width()), uint8_t{255});
  }
  std::vector<uint8_t> mask;
  for (const Channel& c : layer.channels) {
    bool ok = true;
    if (c.id >= 0 && c.id <= 2) {
      ok = ReadChannel(data_, header_.depth, c, layer.rect, rect, covered, colour + (2 - c.id), s24, 3, row_, cut_);
    } else if (c.id == -1) {
      ok = ReadChannel(data_, header_.depth, c, layer.rect, rect, covered, alpha, s8, 1, row_, cut_);
      if (ok && layer.opacity != 255)
        for (int64_t y = covered.top; y < covered.bottom; ++y) {
          uint8_t* a = alpha + static_cast<size_t>(y - rect.top) * s8 + static_cast<size_t>(covered.left - rect.left);
          for (int64_t x = 0; x < covered.width(); ++x) a[x] = static_cast<uint8_t>(a[x] * layer.opacity / 255);
        }
    } else if (c.id == -2 && layer.maskApplies) {
      try {
        mask.assign(s8 * static_cast<size_t>(h), layer.maskDefault);
      } catch (const std::bad_alloc&) {
        ShowMessage(kMsgNoMemoryMask);
        return nullptr;
      }
      ok = ReadChannel(data_, header_.depth, c, layer.mask, rect, rect, mask.data(), s8, 1, row_, cut_);
    }
    if (!ok) {
      damaged = true;
      return nullptr;
    }
  }
  if (header_.mode == kModeGrey || (!hasGreen && !hasBlue)) {
    for (int64_t y = covered.top; y < covered.bottom; ++y) {
      uint8_t* p = colour + static_cast<size_t>(y - rect.top) * s24 + 3 * static_cast<size_t>(covered.left - rect.left);
      for (int64_t x = 0; x < covered.width(); ++x) p[3 * x] = p[3 * x + 1] = p[3 * x + 2];
    }
  }
  if (!mask.empty()) {
    // Outside the layer the alpha is already 0, so the whole plane can be multiplied.
    for (size_t i = 0; i < mask.size(); ++i) alpha[i] = static_cast<uint8_t>(mask[i] * alpha[i] / 255);
  }
  return frame;
}

// Blends the frame's layer into the composite and makes the frame show the composite there.
bool LayerReader::composite(ImageBlock& frame, const Rect& rect) {
  const int w = PlaneWidth(frame), h = PlaneHeight(frame);
  uint8_t* colour = frame.trueColour.data();
  const uint8_t* alpha = AlphaRows(frame);
  const int bw = static_cast<int>(box_.width());
  uint8_t* comp = composite_.trueColour.data();
  uint8_t* compAlpha = composite_.alpha.data();
  std::vector<uint8_t> shown;
  if (keep()) shown.assign(Stride8(w) * static_cast<size_t>(h), 0);
  for (int y = 0; y < h; ++y) {
    const size_t cy = static_cast<size_t>(rect.top - box_.top + y);
    for (int x = 0; x < w; ++x) {
      const size_t cx = static_cast<size_t>(rect.left - box_.left + x);
      const int a = alpha ? alpha[static_cast<size_t>(y) * Stride8(w) + static_cast<size_t>(x)] : 255;
      uint8_t* top = colour + static_cast<size_t>(y) * Stride24(w) + 3 * static_cast<size_t>(x);
      uint8_t* bottom = comp + cy * Stride24(bw) + 3 * cx;
      for (int c = 0; c < 3; ++c) {
        bottom[c] = static_cast<uint8_t>(std::min(255, (top[c] * a + bottom[c] * (255 - a)) / 255));
        top[c] = bottom[c];
      }
      uint8_t& ca = compAlpha[cy * Stride8(bw) + cx];
      ca = static_cast<uint8_t>(std::min(255, ca + a));
      if (!shown.empty()) shown[static_cast<size_t>(y) * Stride8(w) + static_cast<size_t>(x)] = ca;
    }
  }
  if (keep()) {
    SetAlphaPlane(frame, std::move(shown));
  } else {
    RemoveAlpha(frame);
  }
  return true;
}

void LayerReader::overBackground(ImageBlock& frame) {
  const int w = PlaneWidth(frame), h = PlaneHeight(frame);
  const uint8_t* under = background_->trueColour.data();
  const uint8_t* underAlpha = AlphaRows(*background_);
  uint8_t* colour = frame.trueColour.data();
  uint8_t* alpha = frame.alpha.empty() ? nullptr : frame.alpha.data();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const size_t i8 = static_cast<size_t>(y) * Stride8(w) + static_cast<size_t>(x);
      const size_t i24 = static_cast<size_t>(y) * Stride24(w) + 3 * static_cast<size_t>(x);
      const int a = alpha ? alpha[i8] : 255;
      for (int c = 0; c < 3; ++c)
        colour[i24 + static_cast<size_t>(c)] = static_cast<uint8_t>(
            std::min(255, (colour[i24 + static_cast<size_t>(c)] * a + under[i24 + static_cast<size_t>(c)] * (255 - a)) / 255));
      if (alpha) alpha[i8] = static_cast<uint8_t>(std::min(255, (underAlpha ? underAlpha[i8] : 255) + a));
    }
}

// The frame on a canvas-sized picture: black and clear outside it, opaque where it has no alpha.
bool LayerReader::enlarge(ImageBlock& frame) {
  const int w = PlaneWidth(frame), h = PlaneHeight(frame);
  if (frame.left == 0 && frame.top == 0 && w == header_.width && h == header_.height) return true;
  ImagePtr big = CreateSizedImage(header_.width, header_.height);
  if (!big) return false;
  uint8_t* colour = AddTrueColour(*big, true);
  uint8_t* alpha = colour ? AddAlpha(*big, true) : nullptr;
  if (!alpha) return false;
  const uint8_t* fromAlpha = AlphaRows(frame);
  const size_t bigStride24 = Stride24(header_.width), bigStride8 = Stride8(header_.width);
  for (int y = 0; y < h; ++y) {
    const size_t by = static_cast<size_t>(frame.top + y);
    std::memcpy(colour + by * bigStride24 + 3 * static_cast<size_t>(frame.left),
                frame.trueColour.data() + static_cast<size_t>(y) * Stride24(w), 3 * static_cast<size_t>(w));
    uint8_t* a = alpha + by * bigStride8 + static_cast<size_t>(frame.left);
    if (fromAlpha)
      std::memcpy(a, fromAlpha + static_cast<size_t>(y) * Stride8(w), static_cast<size_t>(w));
    else
      std::fill_n(a, w, uint8_t{255});
  }
  SetTrueColourPlane(frame, std::move(big->trueColour));
  SetAlphaPlane(frame, std::move(big->alpha));
  frame.left = frame.top = 0;
  frame.width = header_.width;
  frame.height = header_.height;
  if (AlphaIsOpaque(frame)) RemoveAlpha(frame);
  return true;
}

LayerOutcome LayerReader::run(const std::vector<Layer>& layers, Progress* progress) {
  const bool compositeMode = choice_ & psd_choice::kComposite;
  const bool blend = !compositeMode && (choice_ & psd_choice::kBlendOverBackground);
  Rect bounds = layers.front().rect;
  for (const Layer& l : layers) {
    bounds.left = std::min(bounds.left, l.rect.left);
    bounds.top = std::min(bounds.top, l.rect.top);
    bounds.right = std::max(bounds.right, l.rect.right);
    bounds.bottom = std::max(bounds.bottom, l.rect.bottom);
  }
  box_ = bounds.intersect(canvas_);
  if (box_.empty()) return LayerOutcome::kNone;
  if (compositeMode) {
    composite_.width = static_cast<int32_t>(box_.width());
    composite_.height = static_cast<int32_t>(box_.height());
    if (!AddTrueColour(composite_, true) || !AddAlpha(composite_, true)) {
      ShowMessage(kMsgNoMemoryComposite);
      return LayerOutcome::kFailed;
    }
  }

  SetProgressText(progress, MessageText(kMsgReadingLayerData));
  StartProgress(progress, static_cast<int64_t>(layers.size()));
  BlockAppender out(doc_);
  for (const Layer& layer : layers) {
    const Rect rect = compositeMode ? layer.rect.intersect(canvas_) : box_;
    if (!rect.empty()) {
      bool damaged = false;
      ImagePtr frame = makeFrame(layer, rect, damaged);
      if (!frame && refused_) {
        // The layers before it are kept.
        cut_ = true;
        break;
      }
      if (!frame) {
        ShowMessage(damaged ? kMsgDamaged : kMsgNoMemoryLayer);
        return LayerOutcome::kFailed;
      }
      if (compositeMode && !composite(*frame, rect)) {
        ShowMessage(kMsgNoMemoryLayer);
        return LayerOutcome::kFailed;
      }
      if (blend && background_) overBackground(*frame);
      if (!keep() || AlphaIsOpaque(*frame)) RemoveAlpha(*frame);
      ImageBlock* added = frame.get();
      out.append(std::move(frame));
      if (!background_) background_ = added;
    }
    if (!StepProgress(progress)) return LayerOutcome::kAborted;
  }

  if (refused_ && doc_.frameCount == 0) return LayerOutcome::kFailed;
  if (blend && !(choice_ & psd_choice::kKeepBackground) && background_) {
    RemoveBlock(background_);
    --doc_.frameCount;
  }
  if (choice_ & psd_choice::kCanvasSize) {
    for (ImageBlock* f = FirstImage(&doc_); f; f = NextImage(f))
      if (!enlarge(*f)) {
        ShowMessage(kMsgNoMemoryLayer);
        return LayerOutcome::kFailed;
      }
  }
  return doc_.frameCount > 0 ? LayerOutcome::kFrames : LayerOutcome::kNone;
}

}  // namespace

LayerOutcome ReadLayerFrames(const uint8_t* data, size_t size, size_t records, int layerCount,
                             const FileHeader& header, uint32_t choice, Progress* progress, AnimHeader& document,
                             bool& pixelsCut) {
  pixelsCut = false;
  SetProgressText(progress, MessageText(kMsgReadingLayers));
  Cursor in(data, size, records);
  std::vector<Layer> layers;
  if (!ParseRecords(in, layerCount, layers)) {
    ShowMessage(kMsgDamaged);
    return LayerOutcome::kFailed;
  }
  size_t at = in.at();
  for (Layer& l : layers)
    for (Channel& c : l.channels) {
      if (c.length > size - at) {
        ShowMessage(kMsgDamaged);
        return LayerOutcome::kFailed;
      }
      c.offset = at;
      at += c.length;
    }
  if (layers.empty()) return LayerOutcome::kNone;
  try {
    LayerReader reader(data, header, choice, document);
    const LayerOutcome outcome = reader.run(layers, progress);
    pixelsCut = reader.cut();
    return outcome;
  } catch (const std::bad_alloc&) {
    ShowMessage(kMsgNoMemoryLayer);
    return LayerOutcome::kFailed;
  }
}

}  // namespace fw::psd
