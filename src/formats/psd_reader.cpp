// PSD files in: the header, the indexed picture with its palette, the flattened composite,
// and the decision how layers become frames.
#include <algorithm>
#include <cstdlib>
#include <new>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "formats/file_bytes.h"
#include "formats/psd_file.h"
#include "formats/psd_layers.h"
#include "formats/psd_stream.h"

namespace fw {
namespace {

using psd::Cursor;

PsdLayerAsker& Asker() {
  static PsdLayerAsker asker;
  return asker;
}

// A picture of width x height must come with at least this much data in its planes: a raw
// row holds every pixel; PackBits needs two bytes of row table and can expand two bytes to at
// most 128 pixels.
// zlib data is measured when it is inflated (psd_stream.h).
bool PlausibleCanvas(uint64_t width, uint64_t height, size_t dataBytes, int compression) {
  if (compression == psd::kZip || compression == psd::kZipPredicted) return true;
  const uint64_t perRow = std::min<uint64_t>(width, 2 + 2 * ((width + 127) / 128));
  return height <= dataBytes / perRow;
}

// What was read is kept; when pixel data was missing it is said, and the read is partial.
LoadResult Complete(AnimPtr doc, bool pixelsCut) {
  if (!pixelsCut) return {kReadComplete, std::move(doc)};
  ShowText("The PSD file's pixel data is missing or cut short (the file ends before the picture does); the rest is "
           "left blank.");
  return {kReadPartial, std::move(doc)};
}

LoadResult ReadIndexed(const uint8_t* data, Cursor& in, const psd::FileHeader& h) {
  if (in.u32() != 768 || !in.has(768)) {
    ShowMessage(psd::kMsgDamaged);
    return {};
  }
  std::vector<Rgb> colours(256);
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 256; ++i) {
      const uint8_t v = in.u8();
      Rgb& e = colours[static_cast<size_t>(i)];
      (c == 0 ? e.r : c == 1 ? e.g : e.b) = v;
    }

  int transparent = -1;
  const uint32_t resources = in.u32();
  if (!in.has(resources)) {
    ShowMessage(psd::kMsgDamaged);
    return {};
  }
  Cursor blocks(data, in.at() + resources, in.at());
  while (blocks.remaining() > 0) {
    if (!blocks.tag("8BIM")) {
      ShowText("Error reading PSD Resource Data. Ignore it.");
      break;
    }
    const uint16_t id = blocks.u16();
    const uint8_t nameLength = blocks.u8();
    blocks.skip(nameLength + ((nameLength + 1) & 1));
    const uint32_t length = blocks.u32();
    const size_t start = blocks.at();
    if (!blocks.ok() || !blocks.skip(uint64_t{length} + (length & 1))) break;
    if (id == 0x0417 && length >= 2) transparent = data[start] << 8 | data[start + 1];
  }
  in.skip(resources);
  if (!in.skip(in.u32())) {  // layer and mask information
    ShowMessage(psd::kMsgDamaged);
    return {};
  }

  const int compression = in.u16();
  psd::PlaneSet planes;
  if (!in.ok() ||
      !PlausibleCanvas(static_cast<uint64_t>(h.width), static_cast<uint64_t>(h.height), in.remaining(), compression) ||
      !planes.init(in.here(), in.remaining(), compression, static_cast<uint64_t>(h.width),
                   static_cast<uint64_t>(h.height), std::max(1, h.channels))) {
    ShowMessage(psd::kMsgDamaged);
    return {};
  }
  AnimPtr doc = CreateBlankAnimation(h.width, h.height);
  if (!doc) return {};
  SetGlobalPalette(*doc, Palette::Create(colours.data(), 256));
  ImageBlock& frame = *FirstImage(doc.get());
  frame.activePalette = doc->globalPalette.get();
  auto image = AllocIndexedImage(h.width, h.height, frame.activePalette);
  if (!image || !frame.activePalette) {
    ShowMessage(psd::kMsgNoMemoryLayer);
    return {};
  }
  for (int y = 0; y < h.height; ++y) planes.row(0, static_cast<uint64_t>(y), 0, static_cast<size_t>(h.width), image->row(y));
  SetIndexedImage(frame, std::move(image));
  if (transparent >= 0 && transparent < 256) {
    SetTransparentIndex(frame, transparent);
    SetTransparency(frame, true);
  }
  ComputeColourUsage(*doc, doc->colourUsage.data(), true);
  return Complete(std::move(doc), planes.cut());
}

// The merged picture at the end of the file: grey or red, green, blue, and an alpha plane.
LoadResult ReadComposite(Cursor& in, const psd::FileHeader& h, bool keepAlpha) {
  const int compression = in.u16();
  const bool grey = h.mode == psd::kModeGrey;
  const int colourPlanes = grey ? 1 : 3;
  psd::PlaneSet planes;
  if (!in.ok() || h.channels < colourPlanes ||
      !PlausibleCanvas(static_cast<uint64_t>(h.width), static_cast<uint64_t>(h.height), in.remaining(), compression) ||
      !planes.init(in.here(), in.remaining(), compression, static_cast<uint64_t>(h.width),
                   static_cast<uint64_t>(h.height), h.channels, h.depth)) {
    ShowMessage(psd::kMsgDamaged);
    return {};
  }
  AnimPtr doc = CreateBlankAnimation(h.width, h.height);
  if (!doc) return {};
  ImageBlock& frame = *FirstImage(doc.get());
  uint8_t* colour = AddTrueColour(frame, true);
  const bool withAlpha = keepAlpha && h.channels > colourPlanes;
  uint8_t* alpha = withAlpha ? AddAlpha(frame, true) : nullptr;
  if (!colour || (withAlpha && !alpha)) {
    ShowMessage(psd::kMsgNoMemoryLayer);
    return {};
  }
  const size_t w = static_cast<size_t>(h.width);
  std::vector<uint8_t> row(w);
  for (int y = 0; y < h.height; ++y) {
    uint8_t* out = colour + static_cast<size_t>(y) * Stride24(h.width);
    for (int c = 0; c < colourPlanes; ++c) {
      std::fill(row.begin(), row.end(), 0);
      planes.row(c, static_cast<uint64_t>(y), 0, w, row.data());
      // Planes are red, green, blue; the pixels blue, green, red.
      for (size_t x = 0; x < w; ++x) {
        if (grey)
          out[3 * x] = out[3 * x + 1] = out[3 * x + 2] = row[x];
        else
          out[3 * x + 2 - static_cast<size_t>(c)] = row[x];
      }
    }
    if (alpha) planes.row(colourPlanes, static_cast<uint64_t>(y), 0, w, alpha + static_cast<size_t>(y) * Stride8(h.width));
  }
  if (alpha && AlphaIsOpaque(frame)) RemoveAlpha(frame);
  return Complete(std::move(doc), planes.cut());
}

LoadResult Read(const uint8_t* data, size_t size, bool useDefaults, Progress* progress) {
  SetProgressText(progress, MessageText(psd::kMsgReading));
  Cursor in(data, size);
  if (!in.tag("8BPS") || in.u16() != 1) {
    ShowMessage(psd::kMsgNotPsd);
    return {};
  }
  in.skip(6);
  psd::FileHeader h;
  h.channels = in.u16();
  const uint32_t height = in.u32(), width = in.u32();
  const int depth = in.u16();
  h.mode = in.u16();
  if (!in.ok()) {
    ShowMessage(psd::kMsgNotPsd);
    return {};
  }
  if (h.mode != psd::kModeGrey && h.mode != psd::kModeIndexed && h.mode != psd::kModeRgb) {
    ShowMessage(psd::kMsgColourMode);
    return {};
  }
  // 16-bit grey and RGB are scaled to 8 bits; other depths would come out as noise, and the
  // colour mode is not what is wrong with them.
  if (depth != 8 && !(depth == 16 && h.mode != psd::kModeIndexed)) {
    ShowText("This PSD file stores %d bits per channel%s; only 8-bit files, and 16-bit RGB and greyscale files, can be "
             "read.",
             depth, h.mode == psd::kModeIndexed ? " in indexed colour" : "");
    return {};
  }
  h.depth = depth;
  if (width == 0 || height == 0 || width > 0x7FFFFFFF || height > 0x7FFFFFFF ||
      !PlaneSizeAllowed(Stride24(static_cast<int>(width)), height)) {
    ShowMessage(psd::kMsgNoMemoryLayer);
    return {};
  }
  h.width = static_cast<int>(width);
  h.height = static_cast<int>(height);
  if (h.mode == psd::kModeIndexed) return ReadIndexed(data, in, h);

  if (in.u32() != 0) {  // colour mode data
    ShowMessage(psd::kMsgDamaged);
    return {};
  }
  if (!in.skip(in.u32())) {  // image resources
    ShowMessage(psd::kMsgDamaged);
    return {};
  }
  const uint32_t sectionLength = in.u32();
  const size_t sectionStart = in.at();
  if (!in.ok() || !in.has(sectionLength)) {
    ShowMessage(psd::kMsgDamaged);
    return {};
  }
  int layers = 0;
  size_t records = 0;
  if (sectionLength >= 4) {
    Cursor section(data, sectionStart + sectionLength, sectionStart);
    const uint32_t infoLength = section.u32();
    if (infoLength >= 2) {
      layers = std::abs(int{section.s16()});
      records = section.at();
    }
  }

  uint32_t choice;
  if (layers == 0) {
    choice = psd_choice::kFlatten | psd_choice::kKeepTransparency;
  } else if (layers == 1) {
    choice = psd_choice::kLayers | psd_choice::kBlendOverBackground | psd_choice::kKeepBackground |
             psd_choice::kKeepTransparency | psd_choice::kCanvasSize;
  } else if (useDefaults) {
    choice = psd_choice::kDefaultLayers;
  } else if (Asker()) {
    choice = Asker()();
    if (choice == 0) return {};
  } else {
    // Nothing stored yet would end every import of a layered file; the defaults are the
    // better answer to a question nobody was there to be asked.
    choice = PsdChoiceFromPreferences();
    if (choice == 0) choice = psd_choice::kDefaultLayers;
  }
  const bool keepAlpha = (choice & psd_choice::kKeepTransparency) || sectionLength == 0;

  Cursor composite(data, size, sectionStart);
  composite.skip(sectionLength);
  if (choice & psd_choice::kFlatten) return ReadComposite(composite, h, keepAlpha);

  AnimPtr doc = CreateAnimation();
  if (!doc) return {};
  doc->screenWidth = h.width;
  doc->screenHeight = h.height;
  doc->playCount = static_cast<int32_t>(Prefs().read(pref::kDefaultLoopCount));
  bool pixelsCut = false;
  switch (psd::ReadLayerFrames(data, sectionStart + sectionLength, records, layers, h, choice, progress, *doc,
                               pixelsCut)) {
    case psd::LayerOutcome::kFrames:
      return Complete(std::move(doc), pixelsCut);
    case psd::LayerOutcome::kNone:
      return ReadComposite(composite, h, keepAlpha);
    default:
      return {};
  }
}

}  // namespace

uint32_t PsdChoiceFromPreferences() {
  const uint32_t word = Prefs().raw(pref::kOptionFlags);
  uint32_t choice = 0;
  if (word & 0x2) choice |= psd_choice::kFlatten;
  if (word & 0x200) choice |= psd_choice::kLayers;
  if (word & 0x400) choice |= psd_choice::kComposite;
  if (word & 0x4000000) choice |= psd_choice::kNoBlending;
  if (word & 0x800) choice |= psd_choice::kKeepBackground;
  if (word & 0x8000000) choice |= psd_choice::kKeepTransparency;
  if (word & 0x80000000) choice |= psd_choice::kCanvasSize;
  // Layers that are neither composed nor left alone were blended over the background.
  if ((choice & psd_choice::kLayers) && !(choice & (psd_choice::kComposite | psd_choice::kNoBlending)))
    choice |= psd_choice::kBlendOverBackground;
  return choice;
}

void SetPsdLayerAsker(PsdLayerAsker asker) { Asker() = std::move(asker); }

LoadResult ReadPsdMemory(const uint8_t* data, size_t size, bool useDefaults, Progress* progress) {
  return ParseWithinMemory(psd::kMsgNoMemoryLayer, [&] { return Read(data, size, useDefaults, progress); });
}

LoadResult ReadPsdFile(const std::string& path, bool useDefaults, Progress* progress) {
  return ParseWholeFile(path, psd::kMsgNoMemoryLayer, [&](const uint8_t* data, size_t size) {
    return ReadPsdMemory(data, size, useDefaults, progress);
  });
}

}  // namespace fw
