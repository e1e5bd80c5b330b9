// PSD: layers into frames under every choice, the flattened and indexed pictures, the file we
// write (composite and layers checked by Pillow), and files that lie or end early.
#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <sstream>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "formats/format_peers.h"
#include "formats/psd_file.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;

void Be16(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v >> 8));
  b.push_back(uint8_t(v));
}
void Be32(Bytes& b, uint32_t v) {
  Be16(b, v >> 16);
  Be16(b, v & 0xFFFF);
}
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

// A channel of w x h as stored in a layer: compression word, then the data.
template <typename Fill>
Bytes RawChannel(int w, int h, Fill fill) {
  Bytes b = {0, 0};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) b.push_back(uint8_t(fill(x, y)));
  return b;
}

// PackBits rows for `planes` planes (one run of the repeated byte, or literals).
template <typename Fill>
Bytes PackBitsPlanes(int w, int h, int planes, Fill fill) {
  std::vector<Bytes> rows;
  for (int p = 0; p < planes; ++p)
    for (int y = 0; y < h; ++y) {
      Bytes row;
      for (int x = 0; x < w;) {
        const int n = std::min(w - x, 128);
        row.push_back(uint8_t(n - 1));
        for (int i = 0; i < n; ++i) row.push_back(uint8_t(fill(p, x + i, y)));
        x += n;
      }
      rows.push_back(row);
    }
  Bytes b = {0, 1};
  for (const Bytes& r : rows) Be16(b, uint32_t(r.size()));
  for (const Bytes& r : rows) Append(b, r);
  return b;
}

struct LayerPlan {
  int top = 0, left = 0, bottom = 0, right = 0;
  uint8_t opacity = 255;
  std::vector<std::pair<int, Bytes>> channels;
  bool mask = false;
  int maskTop = 0, maskLeft = 0, maskBottom = 0, maskRight = 0;
  uint8_t maskDefault = 0, maskFlags = 0;
};

struct PsdPlan {
  int width = 4, height = 4, mode = 3, channels = 3, depth = 8;
  Bytes colourModeData, resources;
  std::vector<LayerPlan> layers;
  bool negativeCount = false;
  Bytes merged;  // compression word and planes
};

Bytes MakePsd(const PsdPlan& s) {
  Bytes b = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
  Be16(b, uint32_t(s.channels));
  Be32(b, uint32_t(s.height));
  Be32(b, uint32_t(s.width));
  Be16(b, uint32_t(s.depth));
  Be16(b, uint32_t(s.mode));
  Be32(b, uint32_t(s.colourModeData.size()));
  Append(b, s.colourModeData);
  Be32(b, uint32_t(s.resources.size()));
  Append(b, s.resources);
  if (s.layers.empty()) {
    Be32(b, 0);
  } else {
    Bytes info;
    const int count = int(s.layers.size());
    Be16(info, uint32_t(s.negativeCount ? -count : count) & 0xFFFF);
    for (const LayerPlan& l : s.layers) {
      Be32(info, uint32_t(l.top));
      Be32(info, uint32_t(l.left));
      Be32(info, uint32_t(l.bottom));
      Be32(info, uint32_t(l.right));
      Be16(info, uint32_t(l.channels.size()));
      for (const auto& [id, data] : l.channels) {
        Be16(info, uint32_t(id) & 0xFFFF);
        Be32(info, uint32_t(data.size()));
      }
      Append(info, {'8', 'B', 'I', 'M', 'n', 'o', 'r', 'm', l.opacity, 0, 0, 0});
      Bytes extra;
      if (l.mask) {
        Be32(extra, 20);
        Be32(extra, uint32_t(l.maskTop));
        Be32(extra, uint32_t(l.maskLeft));
        Be32(extra, uint32_t(l.maskBottom));
        Be32(extra, uint32_t(l.maskRight));
        Append(extra, {l.maskDefault, l.maskFlags, 0, 0});
      } else {
        Be32(extra, 0);
      }
      Be32(extra, 0);                   // blending ranges
      Append(extra, {3, 'a', 'b', 'c'});  // name
      Be32(info, uint32_t(extra.size()));
      Append(info, extra);
    }
    for (const LayerPlan& l : s.layers)
      for (const auto& c : l.channels) Append(info, c.second);
    if (info.size() & 1) info.push_back(0);
    Be32(b, uint32_t(info.size() + 8));
    Be32(b, uint32_t(info.size()));
    Append(b, info);
    Be32(b, 0);
  }
  Append(b, s.merged);
  return b;
}

// A layer of solid colour with an optional alpha channel given by alphaAt(x, y).
template <typename Alpha>
LayerPlan SolidLayer(int left, int top, int w, int h, Rgb colour, Alpha alphaAt, bool withAlpha) {
  LayerPlan l;
  l.left = left;
  l.top = top;
  l.right = left + w;
  l.bottom = top + h;
  l.channels.push_back({0, RawChannel(w, h, [&](int, int) { return colour.r; })});
  l.channels.push_back({1, RawChannel(w, h, [&](int, int) { return colour.g; })});
  l.channels.push_back({2, RawChannel(w, h, [&](int, int) { return colour.b; })});
  if (withAlpha) l.channels.push_back({-1, RawChannel(w, h, alphaAt)});
  return l;
}
LayerPlan Solid(int left, int top, int w, int h, Rgb colour) {
  return SolidLayer(left, top, w, h, colour, [](int, int) { return 255; }, false);
}

Bytes MergedRaw(int w, int h, int planes, uint8_t value) {
  Bytes b = {0, 0};
  b.resize(2 + size_t(w) * size_t(h) * size_t(planes), value);
  return b;
}

// Red, green, blue and alpha of a frame's pixel.
std::array<int, 4> At(const ImageBlock& f, int x, int y) {
  const test::Rgba rgba = test::FrameRgba(f);
  const uint8_t* p = rgba.at(x, y);
  return {p[0], p[1], p[2], p[3]};
}

LoadResult ReadWithChoice(const Bytes& file, uint32_t choice) {
  SetPsdLayerAsker([choice] { return choice; });
  LoadResult r = ReadPsdMemory(file.data(), file.size(), false, nullptr);
  SetPsdLayerAsker(nullptr);
  return r;
}

// Pillow's composite and layers of a PSD, as RGBA pictures (the composite first).
std::vector<test::Rgba> PillowPsd(const std::string& path, std::vector<std::array<int, 2>>* offsets = nullptr) {
  static const char* kScript = R"(
import sys, struct
from PIL import Image
out = sys.stdout.buffer
im = Image.open(sys.argv[1])
pics = [((0, 0), im.convert('RGBA'))]
for i in range(1, getattr(im, 'n_frames', 0) + 1):
    im.seek(i)
    box = im.layers[i - 1][2]
    pics.append(((box[0], box[1]), im.convert('RGBA')))
for (x, y), p in pics:
    out.write(struct.pack('<iiii', x, y, p.width, p.height))
    out.write(p.tobytes())
)";
  std::string out;
  std::vector<test::Rgba> pics;
  test::RunCapture({"/usr/bin/python3", "-c", kScript, path}, out);
  size_t at = 0;
  while (out.size() - at >= 16) {
    int v[4];
    std::memcpy(v, out.data() + at, 16);
    at += 16;
    test::Rgba p(v[2], v[3]);
    if (out.size() - at < p.px.size()) break;
    std::memcpy(p.px.data(), out.data() + at, p.px.size());
    at += p.px.size();
    if (offsets) offsets->push_back({v[0], v[1]});
    pics.push_back(std::move(p));
  }
  return pics;
}

struct MagickLayer {
  int x = 0, y = 0;
  test::Rgba rgba;
};

// ImageMagick's reading of every layer (the images after the composite).
std::vector<MagickLayer> MagickLayers(const std::string& path) {
  std::string out;
  std::vector<MagickLayer> layers;
  if (!test::RunCapture({"identify", "-format", "%w %h %X %Y\\n", path}, out)) return layers;
  std::istringstream lines(out);
  std::vector<std::array<int, 4>> geometry;
  int w, h, x, y;
  while (lines >> w >> h >> x >> y) geometry.push_back({w, h, x, y});
  for (size_t k = 1; k < geometry.size(); ++k) {
    std::string pixels;
    if (!test::RunCapture({"convert", path + "[" + std::to_string(k) + "]", "-depth", "8", "rgba:-"}, pixels)) break;
    MagickLayer l;
    l.x = geometry[k][2];
    l.y = geometry[k][3];
    l.rgba = test::Rgba(geometry[k][0], geometry[k][1]);
    if (pixels.size() != l.rgba.px.size()) break;
    std::memcpy(l.rgba.px.data(), pixels.data(), pixels.size());
    layers.push_back(std::move(l));
  }
  return layers;
}

}  // namespace

TEST(PsdRead, FlatFilesKeepTheirFourthChannelAsAlpha) {
  test::ScopedMessages messages;
  PsdPlan s;
  s.channels = 4;
  s.merged = PackBitsPlanes(3, 2, 4, [](int p, int x, int y) { return p == 3 ? (x == 0 ? 0 : 255) : p * 50 + x + 10 * y; });
  s.width = 3;
  s.height = 2;
  LoadResult r = ReadPsdMemory(MakePsd(s).data(), MakePsd(s).size(), false, nullptr);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  ASSERT_EQ(r.document->frameCount, 1);
  const ImageBlock& f = *FirstImage(r.document.get());
  EXPECT_EQ(At(f, 2, 1), (std::array<int, 4>{12, 62, 112, 255}));
  EXPECT_EQ(At(f, 0, 1)[3], 0);

  // Greyscale: one plane replicated.
  PsdPlan g;
  g.mode = 1;
  g.channels = 1;
  g.width = 2;
  g.height = 1;
  g.merged = {0, 0, 77, 200};
  r = ReadPsdMemory(MakePsd(g).data(), MakePsd(g).size(), false, nullptr);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  EXPECT_EQ(At(*FirstImage(r.document.get()), 1, 0), (std::array<int, 4>{200, 200, 200, 255}));
}

TEST(PsdRead, IndexedPictureWithItsPaletteAndTransparentIndex) {
  test::ScopedMessages messages;
  PsdPlan s;
  s.mode = 2;
  s.channels = 1;
  s.width = 3;
  s.height = 2;
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 256; ++i) s.colourModeData.push_back(uint8_t(c == 0 ? i : c == 1 ? 255 - i : i / 2));
  // A resource block we do not know, then the transparent index 5.
  s.resources = {'8', 'B', 'I', 'M', 0x03, 0xED, 0, 0, 0, 0, 0, 1, 9, 0,
                 '8', 'B', 'I', 'M', 0x04, 0x17, 0, 0, 0, 0, 0, 2, 0, 5};
  s.merged = PackBitsPlanes(3, 2, 1, [](int, int x, int y) { return x + 3 * y + 3; });
  const Bytes file = MakePsd(s);
  LoadResult r = ReadPsdMemory(file.data(), file.size(), false, nullptr);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  const ImageBlock& f = *FirstImage(r.document.get());
  EXPECT_EQ(test::FramePixels(f), (Bytes{3, 4, 5, 6, 7, 8}));
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.transparentIndex, 5);
  EXPECT_EQ((*r.document->globalPalette)[200], (Rgb{200, 55, 100}));

  // A colour table of the wrong size is damage.
  s.colourModeData.pop_back();
  const Bytes bad = MakePsd(s);
  EXPECT_EQ(ReadPsdMemory(bad.data(), bad.size(), false, nullptr).status, 0);
  EXPECT_EQ(messages.ids().back(), 40124);
}

TEST(PsdRead, OneLayerIsEnlargedToTheCanvasAndCutAtItsEdges) {
  test::ScopedMessages messages;
  PsdPlan s;
  s.width = 6;
  s.height = 4;
  s.merged = MergedRaw(6, 4, 3, 0);
  // Sticks out two pixels on the left.
  s.layers.push_back(Solid(-2, 1, 4, 2, {200, 100, 50}));
  LoadResult r = ReadPsdMemory(MakePsd(s).data(), MakePsd(s).size(), false, nullptr);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  ASSERT_EQ(r.document->frameCount, 1);
  const ImageBlock& f = *FirstImage(r.document.get());
  EXPECT_EQ(f.left, 0);
  EXPECT_EQ(f.width, 6);
  EXPECT_EQ(f.height, 4);
  EXPECT_EQ(At(f, 0, 1), (std::array<int, 4>{200, 100, 50, 255}));
  EXPECT_EQ(At(f, 1, 2), (std::array<int, 4>{200, 100, 50, 255}));
  EXPECT_EQ(At(f, 2, 1)[3], 0);  // outside the layer: clear
  EXPECT_EQ(At(f, 0, 0)[3], 0);
}

TEST(PsdRead, OpacityOnlyScalesATransparencyChannel) {
  test::ScopedMessages messages;
  PsdPlan s;
  s.width = 2;
  s.height = 1;
  s.merged = MergedRaw(2, 1, 3, 0);
  LayerPlan opaque = Solid(0, 0, 2, 1, {10, 20, 30});
  opaque.opacity = 128;
  s.layers = {opaque};
  LoadResult r = ReadPsdMemory(MakePsd(s).data(), MakePsd(s).size(), false, nullptr);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  EXPECT_FALSE(AlphaRows(*FirstImage(r.document.get())));
  LayerPlan clear = SolidLayer(0, 0, 2, 1, {10, 20, 30}, [](int x, int) { return x ? 200 : 255; }, true);
  clear.opacity = 128;
  s.layers = {clear};
  r = ReadPsdMemory(MakePsd(s).data(), MakePsd(s).size(), false, nullptr);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  EXPECT_EQ(At(*FirstImage(r.document.get()), 0, 0)[3], 128);
  EXPECT_EQ(At(*FirstImage(r.document.get()), 1, 0)[3], 200 * 128 / 255);
}

TEST(PsdRead, EveryLayerChoice) {
  test::ScopedMessages messages;
  PsdPlan s;
  s.width = 8;
  s.height = 6;
  s.merged = MergedRaw(8, 6, 3, 9);
  s.layers.push_back(Solid(0, 0, 8, 6, {0, 0, 200}));  // background
  s.layers.push_back(SolidLayer(2, 1, 3, 2, {255, 0, 0}, [](int x, int) { return x == 0 ? 0 : 255; }, true));
  LayerPlan masked = Solid(4, 3, 4, 3, {0, 255, 0});
  masked.mask = true;  // a mask relative to the layer hiding its top row
  masked.maskTop = 0;
  masked.maskLeft = 0;
  masked.maskBottom = 1;
  masked.maskRight = 4;
  masked.maskDefault = 255;
  masked.maskFlags = 1;
  masked.channels.push_back({-2, RawChannel(4, 1, [](int, int) { return 0; })});
  s.layers.push_back(masked);
  const Bytes file = MakePsd(s);
  using namespace psd_choice;

  // Each layer by itself, canvas-sized.
  LoadResult r = ReadWithChoice(file, kLayers | kNoBlending | kKeepTransparency | kCanvasSize);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  ASSERT_EQ(r.document->frameCount, 3);
  const ImageBlock& second = *ImageAt(r.document.get(), 1);
  EXPECT_EQ(At(second, 3, 1), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(At(second, 2, 1)[3], 0);  // its own transparent column
  EXPECT_EQ(At(second, 0, 0)[3], 0);  // outside the layer
  const ImageBlock& third = *ImageAt(r.document.get(), 2);
  EXPECT_EQ(At(third, 5, 3)[3], 0);  // masked row
  EXPECT_EQ(At(third, 5, 4), (std::array<int, 4>{0, 255, 0, 255}));

  // Over the background, which goes unless kept.
  r = ReadWithChoice(file, kLayers | kBlendOverBackground | kKeepTransparency);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  ASSERT_EQ(r.document->frameCount, 2);
  const ImageBlock& over = *FirstImage(r.document.get());
  EXPECT_EQ(At(over, 2, 1), (std::array<int, 4>{0, 0, 200, 255}));
  EXPECT_EQ(At(over, 3, 1), (std::array<int, 4>{255, 0, 0, 255}));
  EXPECT_EQ(At(over, 0, 0), (std::array<int, 4>{0, 0, 200, 255}));
  r = ReadWithChoice(file, kLayers | kBlendOverBackground | kKeepBackground);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  EXPECT_EQ(r.document->frameCount, 3);

  // The composite so far, each frame the size of its layer.
  r = ReadWithChoice(file, kLayers | kComposite);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  ASSERT_EQ(r.document->frameCount, 3);
  const ImageBlock& piece = *ImageAt(r.document.get(), 1);
  EXPECT_EQ(piece.left, 2);
  EXPECT_EQ(piece.width, 3);
  EXPECT_EQ(At(piece, 0, 0), (std::array<int, 4>{0, 0, 200, 255}));
  EXPECT_EQ(At(piece, 1, 0), (std::array<int, 4>{255, 0, 0, 255}));
  const ImageBlock& last = *ImageAt(r.document.get(), 2);
  EXPECT_EQ(At(last, 1, 0), (std::array<int, 4>{0, 0, 200, 255}));  // the mask let the background show
  EXPECT_EQ(At(last, 1, 1), (std::array<int, 4>{0, 255, 0, 255}));

  // Flattened: the merged picture.
  r = ReadWithChoice(file, kFlatten);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  ASSERT_EQ(r.document->frameCount, 1);
  EXPECT_EQ(At(*FirstImage(r.document.get()), 7, 5), (std::array<int, 4>{9, 9, 9, 255}));

  // Cancel, and the stored preferences when nobody is asked.
  EXPECT_EQ(ReadWithChoice(file, 0).status, 0);
  r = ReadPsdMemory(file.data(), file.size(), false, nullptr);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  EXPECT_EQ(r.document->frameCount, 3);
  Prefs().setBits(pref::kOptionFlags, 0x200 | 0x400, true);  // layers, composite
  EXPECT_EQ(PsdChoiceFromPreferences(), kLayers | kComposite);
  r = ReadPsdMemory(file.data(), file.size(), false, nullptr);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  EXPECT_EQ(ImageAt(r.document.get(), 1)->width, 3);
}

TEST(PsdRead, DamagedHugeAndHostileFiles) {
  test::ScopedMessages messages;
  PsdPlan s;
  s.width = 8;
  s.height = 6;
  s.merged = PackBitsPlanes(8, 6, 3, [](int p, int x, int y) { return p + x * y; });
  s.layers.push_back(Solid(0, 0, 8, 6, {0, 0, 200}));
  LayerPlan packed;
  packed.left = 1;
  packed.top = 1;
  packed.right = 5;
  packed.bottom = 4;
  for (int c = 0; c < 3; ++c) packed.channels.push_back({c, PackBitsPlanes(4, 3, 1, [](int, int x, int) { return x * 40; })});
  s.layers.push_back(packed);
  const Bytes good = MakePsd(s);
  ASSERT_EQ(ReadPsdMemory(good.data(), good.size(), true, nullptr).status, 1);
  // Cut anywhere before the end of the layers, the file is refused; the merged picture after
  // them is not needed for layers.
  const size_t layersEnd = 38 + ((size_t{good[34]} << 24) | (size_t{good[35]} << 16) | (size_t{good[36]} << 8) | good[37]);
  for (size_t n = 0; n < good.size(); ++n) {
    const Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
    LoadResult r = ReadPsdMemory(cut.data(), cut.size(), true, nullptr);
    EXPECT_EQ(r.status, n < layersEnd ? 0 : 1) << n;
  }

  Bytes bad = good;
  bad[0] = 'X';
  messages.sink.clear();
  EXPECT_EQ(ReadPsdMemory(bad.data(), bad.size(), true, nullptr).status, 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{40122});
  bad = good;
  bad[25] = 4;  // CMYK
  messages.sink.clear();
  EXPECT_EQ(ReadPsdMemory(bad.data(), bad.size(), true, nullptr).status, 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{40123});
  // A depth we cannot read is named as the reason, not the colour mode.
  for (const uint8_t depth : {1, 32}) {
    bad = good;
    bad[23] = depth;
    messages.sink.clear();
    EXPECT_EQ(ReadPsdMemory(bad.data(), bad.size(), true, nullptr).status, 0);
    ASSERT_EQ(messages.sink.texts().size(), 1u);
    EXPECT_EQ(messages.ids(), std::vector<int>{0});
    EXPECT_NE(messages.sink.texts()[0].find(std::to_string(depth) + " bits per channel"), std::string::npos);
  }

  // A canvas of 100000 x 100000 backed by a few bytes, and layers claiming to be larger still.
  PsdPlan huge;
  huge.width = huge.height = 100000;
  huge.merged = PackBitsPlanes(1, 1, 3, [](int, int, int) { return 0; });
  Bytes file = MakePsd(huge);
  EXPECT_EQ(ReadPsdMemory(file.data(), file.size(), true, nullptr).status, 0);
  PsdPlan wide = s;
  LayerPlan giant;
  giant.left = -2000000000;
  giant.top = -2000000000;
  giant.right = 2000000000;
  giant.bottom = 2000000000;
  giant.channels.push_back({0, PackBitsPlanes(1, 1, 1, [](int, int, int) { return 0; })});
  wide.layers.push_back(giant);
  file = MakePsd(wide);
  messages.sink.clear();
  EXPECT_EQ(ReadPsdMemory(file.data(), file.size(), true, nullptr).status, 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{40124});
  // A layer count far beyond the records there are.
  file = good;
  const size_t countAt = 26 + 4 + 4 + 4 + 4;
  file[countAt] = 0x7F;
  EXPECT_EQ(ReadPsdMemory(file.data(), file.size(), true, nullptr).status, 0);
}

TEST(PsdWrite, LayersMasksAndCompositeThatPillowReads) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(10, 8, 64);
  for (int k = 0; k < 3; ++k)
    test::AddFrame(*doc, 0, 0, 10, 8, [k](int x, int y) { return (x + y * k + k) % 64; });
  const std::string path = dir.file("three.psd");
  ASSERT_EQ(WritePsdFile(path, *doc), 1);
  const Bytes file = test::ReadBytes(path);
  EXPECT_EQ(file[13], 3);  // composite channels
  EXPECT_EQ(file[43], 3);  // layer count, after the empty colour data and resources
  if (test::HavePillow()) {
    const std::vector<test::Rgba> pics = PillowPsd(path);
    ASSERT_EQ(pics.size(), 4u);  // the composite and three layers
    EXPECT_EQ(test::MaxDifference(pics[0], test::FrameRgba(*ImageAt(doc.get(), 2))), 0);
  }
  // Pillow of this vintage reads layer pixels from the wrong offsets, so ImageMagick checks them.
  const std::vector<MagickLayer> layers = MagickLayers(path);
  ASSERT_EQ(layers.size(), 3u);
  for (int k = 0; k < 3; ++k) EXPECT_EQ(test::MaxDifference(layers[size_t(k)].rgba, test::FrameRgba(*ImageAt(doc.get(), k))), 0) << k;
  LoadResult back = ReadPsdFile(path, true, nullptr);
  ASSERT_EQ(back.status, 1);
  ASSERT_EQ(back.document->frameCount, 3);
  for (int k = 0; k < 3; ++k)
    EXPECT_EQ(test::MaxDifference(test::FrameRgba(*ImageAt(back.document.get(), k)), test::FrameRgba(*ImageAt(doc.get(), k))), 0);

  // Smaller frames at offsets, transparency and alpha, with the mask channel.
  Prefs().setBits(pref::kMoreFlags, 1, true);
  AnimPtr mixed = test::NewDocument(12, 9, 32);
  test::AddFrame(*mixed, 0, 0, 12, 9, [](int x, int) { return x; });
  ImageBlock& hole = test::AddFrame(*mixed, 3, 2, 5, 4, [](int x, int y) { return (x + y) % 3 ? 20 : 31; });
  SetTransparentIndex(hole, 31);
  SetTransparency(hole, true);
  ImageBlock& soft = test::AddFrame(*mixed, 6, 5, 6, 4, [](int, int) { return 7; });
  uint8_t* c = AddTrueColour(soft, true);
  for (size_t i = 0; i < TrueColourBytes(soft); ++i) c[i] = uint8_t(i * 11);
  uint8_t* a = AddAlpha(soft, true);
  for (size_t i = 0; i < AlphaBytes(soft); ++i) a[i] = uint8_t(i * 40);
  const std::string maskPath = dir.file("mask.psd");
  ASSERT_EQ(WritePsdFile(maskPath, *mixed), 1);

  back = ReadPsdFile(maskPath, true, nullptr);
  ASSERT_EQ(back.status, 1);
  ASSERT_EQ(back.document->frameCount, 3);
  const ImageBlock& holeBack = *ImageAt(back.document.get(), 1);
  EXPECT_EQ(At(holeBack, 3, 2)[3], 0);  // the transparent index, through channel and mask
  EXPECT_EQ(At(holeBack, 4, 2), At(hole, 1, 0));
  const ImageBlock& softBack = *ImageAt(back.document.get(), 2);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 6; ++x) {
      const auto want = At(soft, x, y);
      const auto got = At(softBack, x + 6, y + 5);
      EXPECT_EQ(got[3], want[3]);
      if (want[3]) {
        EXPECT_EQ(got, want);
      }
    }
  const std::vector<MagickLayer> mixedLayers = MagickLayers(maskPath);
  ASSERT_EQ(mixedLayers.size(), 3u);
  EXPECT_EQ(mixedLayers[1].x, 3);
  EXPECT_EQ(mixedLayers[1].y, 2);
  EXPECT_EQ(test::MaxDifference(mixedLayers[1].rgba, test::FrameRgba(hole)), 0);
  if (test::HavePillow()) {
    // Pillow's composite is ours: the frames drawn in order, the last one blended.
    const std::vector<test::Rgba> pics = PillowPsd(maskPath);
    ASSERT_FALSE(pics.empty());
    const test::Rgba& composite = pics[0];
    ASSERT_EQ(composite.width, 12);
    const uint8_t* p = composite.at(3, 2);  // under the hole: the first frame
    EXPECT_EQ((std::array<int, 4>{p[0], p[1], p[2], p[3]}), At(*FirstImage(mixed.get()), 3, 2));
  }
}

TEST(PsdRead, LayeredFilesImageMagickWrites) {
  test::ScopedMessages messages;
  test::TempDir dir;
  std::string out;
  const std::string path = dir.file("im.psd");
  if (!test::RunCapture({"convert", "-size", "20x10", "xc:red", "(", "-size", "8x6", "xc:blue", "-repage", "+3+2", ")",
                         "(", "-size", "5x5", "xc:lime", "-repage", "+14+4", ")", "-depth", "8", path},
                        out))
    GTEST_SKIP() << "no ImageMagick";
  LoadResult r = ReadPsdFile(path, true, nullptr);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  EXPECT_EQ(r.document->screenWidth, 20);
  ASSERT_GE(r.document->frameCount, 2);
  const ImageBlock& last = *ImageAt(r.document.get(), r.document->frameCount - 1);
  EXPECT_EQ(At(last, 15, 5), (std::array<int, 4>{0, 255, 0, 255}));
  EXPECT_EQ(At(last, 2, 2)[3], 0);
  const ImageBlock& blue = *ImageAt(r.document.get(), r.document->frameCount - 2);
  EXPECT_EQ(At(blue, 4, 3), (std::array<int, 4>{0, 0, 255, 255}));
}

// zlib-compressed planes, with and without prediction, at 8 and 16 bits: the picture comes
// out as the raw planes say (16-bit samples rounded to 8 bits).
TEST(PsdRead, ZipPlanesWithAndWithoutPrediction) {
  const int w = 5, h = 3;
  auto sample = [](int plane, int x, int y) { return (plane * 5000 + x * 9000 + y * 13000 + 77) & 0xFFFF; };
  for (const int depth : {8, 16}) {
    for (const int compression : {2, 3}) {
      SCOPED_TRACE(std::to_string(depth) + "-bit, compression " + std::to_string(compression));
      Bytes raw;
      for (int plane = 0; plane < 3; ++plane)
        for (int y = 0; y < h; ++y)
          for (int x = 0; x < w; ++x) {
            int v = sample(plane, x, y), left = x ? sample(plane, x - 1, y) : 0;
            if (depth == 8) {
              v >>= 8;
              left >>= 8;
            }
            const int stored = compression == 3 ? (v - left) & (depth == 8 ? 0xFF : 0xFFFF) : v;
            if (depth == 16) raw.push_back(uint8_t(stored >> 8));
            raw.push_back(uint8_t(stored));
          }
      uLongf packedSize = compressBound(raw.size());
      Bytes packed(packedSize);
      ASSERT_EQ(compress(packed.data(), &packedSize, raw.data(), raw.size()), Z_OK);
      packed.resize(packedSize);
      PsdPlan s;
      s.width = w;
      s.height = h;
      s.depth = depth;
      s.merged = {0, uint8_t(compression)};
      Append(s.merged, packed);
      const Bytes file = MakePsd(s);
      test::ScopedMessages messages;
      LoadResult r = ReadPsdMemory(file.data(), file.size(), true, nullptr);
      ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
      const ImageBlock& f = *FirstImage(r.document.get());
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int c = 0; c < 3; ++c) {
            const int v = sample(c, x, y);
            const int expected = depth == 8 ? v >> 8 : (v * 255 + 32767) / 65535;
            EXPECT_EQ(At(f, x, y)[size_t(c)], expected) << x << "," << y;
          }

      // The stream cut in half: what arrived is kept, the rest blank, and it is said.
      Bytes cut = file;
      cut.resize(file.size() - packed.size() / 2);
      messages.sink.clear();
      EXPECT_EQ(ReadPsdMemory(cut.data(), cut.size(), true, nullptr).status, 2);
    }
  }
}

// ImageMagick's layered files: ZIP-compressed layers (its choice for layers) at 8 and 16 bits,
// and its default 16-bit file; every layer as ImageMagick itself reads it (16-bit within one
// level).
TEST(PsdRead, ZipAndSixteenBitLayersImageMagickWrites) {
  test::TempDir dir;
  std::string out;
  struct Variant {
    const char* name;
    std::vector<std::string> options;
    int tolerance;
  };
  const std::vector<Variant> variants = {{"zip8.psd", {"-depth", "8", "-compress", "Zip"}, 0},
                                         {"zip16.psd", {"-depth", "16", "-compress", "Zip"}, 1},
                                         {"plain16.psd", {"-depth", "16"}, 1}};
  for (const Variant& v : variants) {
    SCOPED_TRACE(v.name);
    std::vector<std::string> args = {"convert", "-size", "20x10", "gradient:red-blue", "(", "-size", "8x6",
                                     "gradient:yellow-navy", "-repage", "+3+2", ")", "(", "-size", "5x5", "xc:lime",
                                     "-alpha", "set", "-channel", "A", "-fx", "0.5", "+channel", "-repage", "+14+4", ")"};
    args.insert(args.end(), v.options.begin(), v.options.end());
    args.push_back(dir.file(v.name));
    if (!test::RunCapture(args, out)) GTEST_SKIP() << "no ImageMagick";
    // ImageMagick's first image is the composite; the other two are the layers.
    const std::vector<MagickLayer> layers = MagickLayers(dir.file(v.name));
    ASSERT_EQ(layers.size(), 2u);
    test::ScopedMessages messages;
    LoadResult r = ReadPsdFile(dir.file(v.name), true, nullptr);
    ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
    ASSERT_EQ(r.document->frameCount, 2);
    for (size_t k = 0; k < layers.size(); ++k) {
      const test::Rgba ours = test::FrameRgba(*ImageAt(r.document.get(), static_cast<int>(k)));
      const MagickLayer& l = layers[k];
      int worst = 0;
      for (int y = 0; y < l.rgba.height; ++y)
        for (int x = 0; x < l.rgba.width; ++x)
          for (int c = 0; c < 4; ++c)
            worst = std::max(worst, std::abs(int{ours.at(l.x + x, l.y + y)[c]} - int{l.rgba.at(x, y)[c]}));
      EXPECT_LE(worst, v.tolerance) << "layer " << k;
    }
  }
  // A flat 16-bit greyscale file (no layers), against ImageMagick's decode.
  ASSERT_TRUE(test::RunCapture({"convert", "-size", "9x7", "gradient:white-black", "-colorspace", "Gray", "-depth",
                                "16", dir.file("grey16.psd")},
                               out));
  std::string peer;
  ASSERT_TRUE(test::RunCapture({"convert", dir.file("grey16.psd") + "[0]", "-depth", "8", "rgba:-"}, peer));
  test::ScopedMessages messages;
  LoadResult r = ReadPsdFile(dir.file("grey16.psd"), true, nullptr);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  const test::Rgba ours = test::FrameRgba(*FirstImage(r.document.get()));
  ASSERT_EQ(peer.size(), ours.px.size());
  int worst = 0;
  for (size_t i = 0; i < peer.size(); ++i) worst = std::max(worst, std::abs(int{ours.px[i]} - int(uint8_t(peer[i]))));
  EXPECT_LE(worst, 1);
}

}  // namespace fw
