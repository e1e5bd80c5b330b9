// Palettes, transparency, disposal, names and comments of blocks.
#include <cstring>

#include "core/anim_document.h"
#include "core/display_mask.h"
#include "core/message_sink.h"
#include "core/string_table.h"

namespace fw {

void SetGlobalPalette(AnimHeader& header, std::unique_ptr<Palette> palette) {
  if (palette) {
    const int b = PaletteBits(palette->count()) - 1;
    header.screenFlags = static_cast<uint8_t>(0x80 | b << 4 | b);
  } else {
    header.screenFlags = 0;
  }
  header.globalPalette = std::move(palette);
}

std::unique_ptr<Palette> SetLocalPalette(ImageBlock& image, std::unique_ptr<Palette> palette) {
  std::unique_ptr<Palette> old = std::move(image.localPalette);
  if (palette) {
    const int b = PaletteBits(palette->count()) - 1;
    image.descriptorFlags = static_cast<uint8_t>((image.descriptorFlags & 0xF8) | 0x80 | b);
    image.activePalette = palette.get();
    image.localPalette = std::move(palette);
  } else {
    image.descriptorFlags &= 0x78;
    if (image.activePalette == old.get()) image.activePalette = nullptr;
  }
  return old;
}

Palette* SetActivePalette(ImageBlock& image, Palette* palette) {
  Palette* old = image.activePalette;
  image.activePalette = palette;
  return old;
}

void SetTransparency(ImageBlock& image, bool on) {
  if (image.transparent() == on) return;
  image.controlFlags = static_cast<uint8_t>(on ? (image.controlFlags | 1) : (image.controlFlags & ~1));
  if (on)
    BuildDisplayMask(image);
  else
    DropDisplayMask(image);
}

void SetTransparentIndex(ImageBlock& image, int index) {
  const auto value = static_cast<uint8_t>(index);
  if (value == image.transparentIndex) return;
  // The old index gets its palette colour back before the mask moves to the new one.
  DropDisplayMask(image);
  image.transparentIndex = value;
  if (image.transparent()) BuildDisplayMask(image);
}

int Disposal(const ImageBlock& image) { return image.disposal(); }

int SetDisposal(ImageBlock& image, int method) {
  const int old = image.disposal();
  image.controlFlags = static_cast<uint8_t>((image.controlFlags & ~0x1C) | (method & 7) << 2);
  return old;
}

bool UserInput(const ImageBlock& image) { return image.controlFlags & 2; }
void SetUserInput(ImageBlock& image, bool on) {
  image.controlFlags = static_cast<uint8_t>(on ? (image.controlFlags | 2) : (image.controlFlags & ~2));
}

bool Interlaced(const ImageBlock& image) { return image.interlaced(); }
void SetInterlaced(ImageBlock& image, bool on) {
  image.descriptorFlags =
      static_cast<uint8_t>(on ? (image.descriptorFlags | 0x40) : (image.descriptorFlags & ~0x40));
}

std::string FrameName(const ImageBlock& image) {
  if (image.name) return AtomText(image.name);
  const char* text = MessageText(msg::kNoName);
  return text ? text : "";
}

int SetFrameName(ImageBlock& image, const char* text) {
  Atom atom = (text && *text) ? AtomAdd(text) : 0;
  if (atom == image.name) {
    AtomRelease(atom);
    return 0;
  }
  AtomRelease(image.name);
  image.name = atom;
  return 1;
}

void NameFramesFromFile(AnimHeader& header, std::string_view path) {
  const std::string base(BaseName(path));
  int number = 1;
  for (ImageBlock* f = FirstImage(&header); f; f = NextImage(f), ++number) {
    if (f->name) continue;
    if (header.frameCount == 1) {
      SetFrameName(*f, base.c_str());
    } else {
      const std::string name = FormatText(MessageText(msg::kFrameNameFormat), base.c_str(), number);
      SetFrameName(*f, name.c_str());
    }
  }
}

bool IsComment(const GifBlock& block) { return block.kind == block_kind::kComment; }

int SetCommentText(ExtensionBlock& block, std::string_view text) {
  if (!IsComment(block)) return 0;
  if (text.size() > 255) text = text.substr(0, 255);
  try {
    std::vector<uint8_t> data;
    data.reserve(text.size() + 2);
    if (!text.empty()) {
      data.push_back(static_cast<uint8_t>(text.size()));
      data.insert(data.end(), text.begin(), text.end());
    }
    data.push_back(0);
    block.data = std::move(data);
    return 1;
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryComment);
    return 0;
  }
}

std::string CommentText(const GifBlock& block) {
  if (!IsComment(block)) return {};
  const auto& data = static_cast<const ExtensionBlock&>(block).data;
  if (data.empty() || data[0] == 0) return {};
  const size_t n = std::min<size_t>(data[0], data.size() - 1);
  return std::string(reinterpret_cast<const char*>(data.data() + 1), n);
}

void ClearSelection(AnimHeader& header) {
  for (ImageBlock* f = FirstImage(&header); f; f = NextImage(f)) f->selected = 0;
  header.selectedCount = 0;
  header.selectionAnchor = -1;
}

int CountSelected(AnimHeader& header) {
  int n = 0;
  for (ImageBlock* f = FirstImage(&header); f; f = NextImage(f))
    if (f->selected) ++n;
  header.selectedCount = n;
  if (n == 0) header.selectionAnchor = -1;
  return n;
}

}  // namespace fw
