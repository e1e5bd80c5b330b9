// Icons and cursors: the depth each frame is written at, checked by Pillow and icotool; masks
// and transparent indexes on reading; duplicate resolutions; files that lie.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "formats/dib.h"
#include "formats/format_peers.h"
#include "formats/icon_file.h"
#include "formats/png_file.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

void Le16To(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Le32To(Bytes& b, uint32_t v) {
  Le16To(b, v & 0xFFFF);
  Le16To(b, v >> 16);
}

// A document whose global palette is exactly `colours`.
AnimPtr PaletteDocument(int w, int h, const std::vector<Rgb>& colours) {
  AnimPtr doc = test::NewDocument(w, h, 2);
  SetGlobalPalette(*doc, Palette::Create(colours.data(), static_cast<int>(colours.size())));
  return doc;
}

ImageBlock& AddIndexed(AnimHeader& doc, int w, int h, int modulo) {
  return test::AddFrame(doc, 0, 0, w, h, [modulo](int x, int y) { return (x + 3 * y) % modulo; });
}

ImageBlock& AddTrueColourFrame(AnimHeader& doc, int w, int h, bool withAlpha) {
  ImageBlock& f = AddIndexed(doc, w, h, 7);
  uint8_t* c = AddTrueColour(f, true);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = c + static_cast<size_t>(y) * Stride24(w) + 3 * static_cast<size_t>(x);
      p[0] = uint8_t(x * 9);
      p[1] = uint8_t(y * 5);
      p[2] = uint8_t(x ^ y);
    }
  if (withAlpha) {
    uint8_t* a = AddAlpha(f, true);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) a[static_cast<size_t>(y) * Stride8(w) + static_cast<size_t>(x)] = x < w / 2 ? 255 : 0;
  }
  return f;
}

struct Listed {
  int width, height, depth, palette, hotX, hotY;
};

// icotool's view of a file, entry by entry.
std::vector<Listed> IcotoolList(const std::string& path) {
  std::string out;
  std::vector<Listed> entries;
  if (!test::RunCapture({"icotool", "-l", path}, out)) return entries;
  size_t at = 0;
  while (at < out.size()) {
    const size_t end = out.find('\n', at);
    const std::string line = out.substr(at, end - at);
    auto field = [&](const std::string& name) {
      const size_t p = line.find("--" + name + "=");
      return p == std::string::npos ? -1 : std::stoi(line.substr(p + name.size() + 3));
    };
    if (!line.empty())
      entries.push_back({field("width"), field("height"), field("bit-depth"), field("palette-size"), field("hotspot-x"),
                         field("hotspot-y")});
    if (end == std::string::npos) break;
    at = end + 1;
  }
  return entries;
}

// Every entry of an icon as Pillow decodes it, in directory order.
std::vector<test::Rgba> PillowIconEntries(const std::string& path) {
  static const char* kScript = R"(
import sys, struct
from PIL import IcoImagePlugin
out = sys.stdout.buffer
f = IcoImagePlugin.IcoFile(open(sys.argv[1], 'rb'))
for i in range(len(f.entry)):
    im = f.frame(i).convert('RGBA')
    out.write(struct.pack('<ii', im.width, im.height))
    out.write(im.tobytes())
)";
  std::string out;
  std::vector<test::Rgba> frames;
  test::RunCapture({"/usr/bin/python3", "-c", kScript, path}, out);
  frames = test::SizedRgbaFrames(out);
  return frames;
}

// The PNG files `icotool -x` extracts, in entry order.
std::vector<test::Rgba> IcotoolExtract(const std::string& path, const test::TempDir& dir) {
  const std::string into = dir.file("extracted");
  fs::create_directories(into);
  std::string out;
  std::vector<test::Rgba> frames;
  if (!test::RunCapture({"icotool", "-x", "-o", into, path}, out)) return frames;
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(into)) names.push_back(e.path().string());
  std::sort(names.begin(), names.end());
  std::vector<std::vector<test::Rgba>> all = test::PillowDecodeAll(names, true);
  for (auto& f : all)
    if (!f.empty()) frames.push_back(f[0]);
  fs::remove_all(into);
  return frames;
}

// An icon DIB: header with doubled height, table, XOR rows bottom-up, AND rows bottom-up.
Bytes IconDib(int w, int h, int bits, const std::vector<uint32_t>& table, const std::vector<uint8_t>& xorTopDown,
              const std::vector<uint8_t>& andTopDown) {
  Bytes b;
  Le32To(b, 40);
  Le32To(b, uint32_t(w));
  Le32To(b, uint32_t(2 * h));
  Le16To(b, 1);
  Le16To(b, uint32_t(bits));
  for (int i = 0; i < 4; ++i) Le32To(b, 0);
  Le32To(b, bits <= 8 && table.size() < (size_t{1} << bits) ? uint32_t(table.size()) : 0);  // colours used
  Le32To(b, 0);
  for (uint32_t e : table) Le32To(b, e);
  const size_t xs = DibStride(w, bits), as = DibStride(w, 1);
  for (int y = h - 1; y >= 0; --y) b.insert(b.end(), xorTopDown.begin() + static_cast<long>(xs * y), xorTopDown.begin() + static_cast<long>(xs * (y + 1)));
  for (int y = h - 1; y >= 0; --y) b.insert(b.end(), andTopDown.begin() + static_cast<long>(as * y), andTopDown.begin() + static_cast<long>(as * (y + 1)));
  return b;
}

// A file of the given images (each with its entry's width, height, bit count).
Bytes IconFileOf(int type, const std::vector<Bytes>& images, const std::vector<std::array<int, 3>>& sizes) {
  Bytes b;
  Le16To(b, 0);
  Le16To(b, uint32_t(type));
  Le16To(b, uint32_t(images.size()));
  uint32_t offset = uint32_t(6 + 16 * images.size());
  for (size_t i = 0; i < images.size(); ++i) {
    b.push_back(uint8_t(sizes[i][0]));
    b.push_back(uint8_t(sizes[i][1]));
    b.push_back(0);
    b.push_back(0);
    Le16To(b, type == 2 ? 3 : 1);
    Le16To(b, type == 2 ? 5 : uint32_t(sizes[i][2]));
    Le32To(b, uint32_t(images[i].size()));
    Le32To(b, offset);
    offset += uint32_t(images[i].size());
  }
  for (const Bytes& i : images) b.insert(b.end(), i.begin(), i.end());
  return b;
}

const std::vector<Rgb> kStandard = {{0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                    {0, 0, 128},     {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                    {128, 128, 128}, {255, 0, 0},   {0, 255, 0},   {255, 255, 0},
                                    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};

}  // namespace

TEST(IconWrite, EachFrameGetsItsDepthAndPeersDecodeEveryEntry) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = PaletteDocument(48, 48, kStandard);
  AddIndexed(*doc, 48, 48, 16);  // the standard sixteen: 4-bit, colour count 16
  // Sixteen colours of its own: 4-bit pixels under an 8-bit entry.
  ImageBlock& own = AddIndexed(*doc, 32, 32, 16);
  std::vector<Rgb> odd(16);
  for (int i = 0; i < 16; ++i) odd[size_t(i)] = {uint8_t(i * 13 + 1), uint8_t(200 - i), uint8_t(i * 3)};
  SetLocalPalette(own, Palette::Create(odd.data(), 16));
  SetColourTable(*own.indexedImage, own.activePalette);
  // Black, white and a transparent third colour: 1-bit with the mask.
  ImageBlock& mono = test::AddFrame(*doc, 0, 0, 24, 24, [](int x, int y) { return (x + y) % 3; });
  std::vector<Rgb> bw = {{0, 0, 0}, {255, 255, 255}, {10, 200, 30}};
  SetLocalPalette(mono, Palette::Create(bw.data(), 3));
  SetTransparentIndex(mono, 2);
  SetTransparency(mono, true);
  ImageBlock& wide = AddIndexed(*doc, 16, 16, 200);  // indexes above 15: 8-bit
  std::vector<Rgb> ramp(256);
  for (int i = 0; i < 256; ++i) ramp[size_t(i)] = {uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
  SetLocalPalette(wide, Palette::Create(ramp.data(), 256));
  AddTrueColourFrame(*doc, 20, 20, false);
  AddTrueColourFrame(*doc, 40, 40, true);

  const std::string path = dir.file("depths.ico");
  ASSERT_EQ(WriteIconFile(path, *doc, kIconTypeIcon), 1) << testing::PrintToString(messages.ids());

  // Sorted: lower depth first, then larger sizes first.
  const std::vector<Listed> listed = IcotoolList(path);
  ASSERT_EQ(listed.size(), 6u);
  // icotool shows what the DIBs hold; the own-colour image is 4-bit under an entry saying 8.
  const int expected[6][4] = {{24, 24, 1, 2}, {48, 48, 4, 16}, {32, 32, 4, 16}, {16, 16, 8, 256}, {20, 20, 24, 0}, {40, 40, 32, 0}};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(listed[i].width, expected[i][0]) << i;
    EXPECT_EQ(listed[i].height, expected[i][1]) << i;
    EXPECT_EQ(listed[i].depth, expected[i][2]) << i;
    EXPECT_EQ(listed[i].palette, expected[i][3]) << i;
  }

  const Bytes file = test::ReadBytes(path);
  const int entryBits[6] = {1, 4, 8, 8, 24, 32}, entryColours[6] = {2, 16, 0, 0, 0, 0};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(file[6 + 16 * i + 2], entryColours[i]) << i;
    EXPECT_EQ(Le16(file.data() + 6 + 16 * i + 6), entryBits[i]) << i;
  }

  // The pixels, entry by entry, against the frames they came from.
  std::vector<const ImageBlock*> order = {&mono, ImageAt(doc.get(), 0), &own, &wide, ImageAt(doc.get(), 4), ImageAt(doc.get(), 5)};
  if (test::HavePillow()) {
    // Pillow lists the entries by size, not in file order; the sizes here are all different.
    const std::vector<test::Rgba> entries = PillowIconEntries(path);
    ASSERT_EQ(entries.size(), 6u);
    for (const test::Rgba& e : entries) {
      auto same = std::find_if(order.begin(), order.end(), [&](const ImageBlock* f) { return PlaneWidth(*f) == e.width; });
      ASSERT_NE(same, order.end());
      EXPECT_EQ(test::MaxDifference(e, test::FrameRgba(**same)), 0) << e.width;
    }
  }
  const std::vector<test::Rgba> extracted = IcotoolExtract(path, dir);
  ASSERT_EQ(extracted.size(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(test::MaxDifference(extracted[i], test::FrameRgba(*order[i])), 0) << i;

  // And back through our reader, in file order (true colour kept, so nothing is reduced).
  Prefs().setBits(pref::kOptionFlags, pref::kKeepTrueColour, true);
  LoadResult back = ReadIconFile(path);
  ASSERT_EQ(back.status, 1);
  ASSERT_EQ(back.document->frameCount, 6);
  EXPECT_EQ(back.document->screenWidth, 48);
  for (size_t i = 0; i < 6; ++i) {
    const ImageBlock& f = *ImageAt(back.document.get(), int(i));
    EXPECT_EQ(test::MaxDifference(test::FrameRgba(f), test::FrameRgba(*order[i])), 0) << i;
    EXPECT_EQ(f.disposal(), kDisposalBackground);
  }
  // The DIB sizes the entries announce are the sizes of the DIBs.
  for (int bits : {1, 4, 8, 24, 32}) EXPECT_EQ(MakeIconDib(*order[4], bits).size(), IconDibSize(20, 20, bits)) << bits;
}

TEST(IconWrite, LargeImagesArePngUnlessThePreferencesSayNot) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(128, 128, 64);
  AddIndexed(*doc, 128, 128, 64);
  AddIndexed(*doc, 16, 16, 64);
  const std::string path = dir.file("big.ico");
  ASSERT_EQ(WriteIconFile(path, *doc, kIconTypeIcon), 1);
  Bytes file = test::ReadBytes(path);
  const uint32_t first = Le32(file.data() + 6 + 12);
  EXPECT_EQ(0, std::memcmp(file.data() + first, kPngSignature, 8));
  if (test::HavePillow()) {
    const std::vector<test::Rgba> entries = PillowIconEntries(path);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(test::MaxDifference(entries[0], test::FrameRgba(*FirstImage(doc.get()))), 0);
  }

  Prefs().setBits(pref::kMoreFlags, 1u << 7, true);
  ASSERT_EQ(WriteIconFile(path, *doc, kIconTypeIcon), 1);
  file = test::ReadBytes(path);
  EXPECT_EQ(Le32(file.data() + Le32(file.data() + 6 + 12)), 40u);
  EXPECT_EQ(IcotoolList(path).size(), 2u);

  // Keeping the frame order leaves the small image second... and first when it comes first.
  Prefs().setBits(pref::kMoreFlags, 1u << 8, true);
  RemoveBlock(FirstImage(doc.get()));
  AddIndexed(*doc, 128, 128, 64);
  ASSERT_EQ(WriteIconFile(path, *doc, kIconTypeIcon), 1);
  EXPECT_EQ(IcotoolList(path).front().width, 16);
}

TEST(IconWrite, DuplicateResolutionsAreRefusedWithTheirList) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(32, 32, 256);
  AddIndexed(*doc, 32, 32, 200);
  AddIndexed(*doc, 32, 32, 100);
  AddIndexed(*doc, 16, 16, 100);
  const std::string path = dir.file("dup.ico");
  EXPECT_EQ(WriteIconFile(path, *doc, kIconTypeIcon), 0);
  EXPECT_FALSE(fs::exists(path));
  ASSERT_EQ(messages.sink.entries.size(), 1u);
  EXPECT_EQ(messages.sink.entries[0].text,
            "The following resolutions are duplicated (please delete all duplicates):\n\t32 x 32 x bitcount 8");
  EXPECT_TRUE(messages.sink.entries[0].question);
}

TEST(CursorWrite, HotspotsAndPixelsReachIcotool) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(32, 32, 256);
  ImageBlock& a = AddIndexed(*doc, 32, 32, 200);
  a.hotspotX = 3;
  a.hotspotY = 5;
  SetTransparentIndex(a, 4);
  SetTransparency(a, true);
  ImageBlock& b = AddTrueColourFrame(*doc, 16, 16, true);
  b.hotspotX = -1;  // unset: written as 0
  const std::string path = dir.file("arrow.cur");
  ASSERT_EQ(WriteIconFile(path, *doc, kIconTypeCursor), 1);
  const std::vector<Listed> listed = IcotoolList(path);
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].hotX, 3);
  EXPECT_EQ(listed[0].hotY, 5);
  EXPECT_EQ(listed[1].hotX, 0);
  const std::vector<test::Rgba> extracted = IcotoolExtract(path, dir);
  ASSERT_EQ(extracted.size(), 2u);
  EXPECT_EQ(test::MaxDifference(extracted[0], test::FrameRgba(a)), 0);
  EXPECT_EQ(test::MaxDifference(extracted[1], test::FrameRgba(b)), 0);

  LoadResult back = ReadIconFile(path);
  ASSERT_EQ(back.status, 1);
  EXPECT_EQ(FirstImage(back.document.get())->hotspotX, 3);
  EXPECT_EQ(FirstImage(back.document.get())->hotspotY, 5);

  // A large cursor image goes out as PNG; its hotspot is no bit count, so a small one does
  // not reduce the picture to a palette on reading.
  ImageBlock& big = AddTrueColourFrame(*doc, 128, 128, true);
  big.hotspotY = 5;
  ASSERT_EQ(WriteIconFile(path, *doc, kIconTypeCursor), 1);
  back = ReadIconFile(path);
  ASSERT_EQ(back.status, 1);
  const ImageBlock& bigBack = *ImageAt(back.document.get(), 1);
  ASSERT_EQ(bigBack.width, 128);
  EXPECT_EQ(bigBack.hotspotY, 5);
  ASSERT_TRUE(AlphaRows(bigBack));
  EXPECT_EQ(test::MaxDifference(test::FrameRgba(bigBack), test::FrameRgba(big)), 0);
}

TEST(IconRead, MasksChooseTheTransparentIndex) {
  test::ScopedMessages messages;
  // 4 x 2, 8-bit, a four-entry table of which index 3 is unused: it becomes transparent.
  const std::vector<uint32_t> table = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
  std::vector<uint8_t> pixels = {0, 1, 2, 1, 2, 2, 1, 0};
  std::vector<uint8_t> mask(8, 0);
  mask[0] = 0x90;  // pixels (0,0) and (3,0)
  Bytes file = IconFileOf(1, {IconDib(4, 2, 8, table, pixels, mask)}, {{4, 2, 8}});
  LoadResult r = ReadIconMemory(file.data(), file.size());
  ASSERT_EQ(r.status, 1);
  ImageBlock& f = *FirstImage(r.document.get());
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.transparentIndex, 3);
  EXPECT_EQ(test::FramePixels(f), (std::vector<uint8_t>{3, 1, 2, 3, 2, 2, 1, 0}));

  // Every table entry in use: a black entry is appended for the mask.
  pixels = {0, 1, 2, 3, 3, 2, 1, 0};
  file = IconFileOf(1, {IconDib(4, 2, 8, table, pixels, mask)}, {{4, 2, 8}});
  r = ReadIconMemory(file.data(), file.size());
  ASSERT_EQ(r.status, 1);
  ImageBlock& g = *FirstImage(r.document.get());
  EXPECT_EQ(g.transparentIndex, 4);
  EXPECT_EQ(g.activePalette->count(), 5);

  // All 256 in use: only an index the masked pixels alone use will do.
  std::vector<uint32_t> full(256);
  for (uint32_t i = 0; i < 256; ++i) full[i] = i * 0x010101;
  std::vector<uint8_t> all(16 * 16);
  for (size_t i = 0; i < all.size(); ++i) all[i] = uint8_t(i);
  std::vector<uint8_t> oneMasked(4 * 16, 0);
  oneMasked[0] = 0x80;  // only pixel 0, index 0
  file = IconFileOf(1, {IconDib(16, 16, 8, full, all, oneMasked)}, {{16, 16, 8}});
  r = ReadIconMemory(file.data(), file.size());
  ASSERT_EQ(r.status, 1);
  EXPECT_TRUE(FirstImage(r.document.get())->transparent());
  EXPECT_EQ(FirstImage(r.document.get())->transparentIndex, 0);
  oneMasked[0] = 0xC0;  // indexes 0 and 1: no single index, the mask is ignored
  file = IconFileOf(1, {IconDib(16, 16, 8, full, all, oneMasked)}, {{16, 16, 8}});
  r = ReadIconMemory(file.data(), file.size());
  ASSERT_EQ(r.status, 1);
  EXPECT_FALSE(FirstImage(r.document.get())->transparent());

  // The masked pixels alone name index 3, beyond a two-entry table: that is no entry to make
  // transparent; a new black one is added for the mask instead.
  pixels = {3, 0, 1, 3, 1, 0, 1, 0};
  file = IconFileOf(1, {IconDib(4, 2, 8, {0x000000, 0xFFFFFF}, pixels, mask)}, {{4, 2, 8}});
  r = ReadIconMemory(file.data(), file.size());
  ASSERT_EQ(r.status, 1);
  const ImageBlock& h = *FirstImage(r.document.get());
  ASSERT_TRUE(h.transparent());
  EXPECT_LT(h.transparentIndex, h.activePalette->count());
}

TEST(IconRead, TrueColourEntriesGetAlphaAndAPalette) {
  test::ScopedMessages messages;
  // 24-bit 2 x 2 with the mask on the top-right pixel.
  std::vector<uint8_t> bgr = {10, 20, 30, 40, 50, 60, 0, 0, 70, 80, 90, 100, 110, 120, 0, 0};
  std::vector<uint8_t> mask = {0x40, 0, 0, 0, 0, 0, 0, 0};
  Bytes file = IconFileOf(1, {IconDib(2, 2, 24, {}, bgr, mask)}, {{2, 2, 24}});
  LoadResult r = ReadIconMemory(file.data(), file.size());
  ASSERT_EQ(r.status, 1);
  ImageBlock& f = *FirstImage(r.document.get());
  ASSERT_TRUE(f.indexedImage);
  ASSERT_TRUE(f.localPalette);
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.indexedImage->row(0)[1], f.transparentIndex);
  EXPECT_EQ(f.activePalette->operator[](f.indexedImage->row(1)[1]), (Rgb{120, 110, 100}));

  // 32-bit with its own alpha keeps it when the preferences keep true colour.
  Prefs().setBits(pref::kOptionFlags, pref::kKeepTrueColour, true);
  std::vector<uint8_t> bgra = {1, 2, 3, 255, 4, 5, 6, 128, 7, 8, 9, 0, 10, 11, 12, 255};
  file = IconFileOf(1, {IconDib(2, 2, 32, {}, bgra, std::vector<uint8_t>(8, 0))}, {{2, 2, 32}});
  r = ReadIconMemory(file.data(), file.size());
  ASSERT_EQ(r.status, 1);
  const uint8_t* alpha = AlphaRows(*FirstImage(r.document.get()));
  ASSERT_TRUE(alpha);
  EXPECT_EQ(alpha[1], 128);
  EXPECT_EQ(alpha[Stride8(2)], 0);
}

TEST(IconRead, PngEntriesAndIcotoolMadeIcons) {
  test::ScopedMessages messages;
  test::TempDir dir;
  // icotool builds an icon and a cursor from PNGs we write; both load as the PNGs show.
  AnimPtr doc = test::NewDocument(16, 16, 256);
  ImageBlock& small = AddTrueColourFrame(*doc, 16, 16, true);
  ImageBlock& large = AddTrueColourFrame(*doc, 64, 64, true);
  ASSERT_EQ(WritePng(dir.file("s.png"), small, nullptr), 1);
  ASSERT_EQ(WritePng(dir.file("l.png"), large, nullptr), 1);
  std::string out;
  ASSERT_TRUE(test::RunCapture({"icotool", "-c", "-o", dir.file("made.ico"), dir.file("s.png"), "-r", dir.file("l.png")}, out));
  LoadResult r = ReadIconFile(dir.file("made.ico"));
  ASSERT_EQ(r.status, 1);
  ASSERT_EQ(r.document->frameCount, 2);
  EXPECT_EQ(r.document->screenWidth, 64);
  // The 32-bit entries keep their colours exactly where opaque.
  Prefs().setBits(pref::kOptionFlags, pref::kKeepTrueColour, true);
  r = ReadIconFile(dir.file("made.ico"));
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(test::MaxDifference(test::FrameRgba(*ImageAt(r.document.get(), 0)), test::FrameRgba(small)), 0);
  EXPECT_EQ(test::MaxDifference(test::FrameRgba(*ImageAt(r.document.get(), 1)), test::FrameRgba(large)), 0);

  ASSERT_TRUE(test::RunCapture({"icotool", "-c", "--cursor", "--hotspot-x=7", "--hotspot-y=9", "-o",
                                dir.file("made.cur"), dir.file("s.png")},
                               out));
  r = ReadIconFile(dir.file("made.cur"));
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(FirstImage(r.document.get())->hotspotX, 7);
  EXPECT_EQ(FirstImage(r.document.get())->hotspotY, 9);
}

TEST(IconRead, DamagedAndHostileFiles) {
  test::ScopedMessages messages;
  const std::vector<uint32_t> table = {0x000000, 0xFFFFFF};
  const Bytes good = IconFileOf(1, {IconDib(8, 8, 1, table, std::vector<uint8_t>(32, 0xAA), std::vector<uint8_t>(32, 0))},
                                {{8, 8, 1}});
  ASSERT_EQ(ReadIconMemory(good.data(), good.size()).status, 1);

  // Every truncation is refused or read in part, never read past.
  for (size_t n = 0; n < good.size(); ++n) {
    Bytes cut(good.begin(), good.begin() + static_cast<long>(n));
    LoadResult r = ReadIconMemory(cut.data(), cut.size());
    if (n < 22) {
      EXPECT_EQ(r.status, 0) << n;
    }
  }
  messages.sink.clear();
  Bytes bad = good;
  bad[2] = 3;  // neither icon nor cursor
  EXPECT_EQ(ReadIconMemory(bad.data(), bad.size()).status, 0);
  EXPECT_EQ(messages.sink.texts().back(), "Res type not an ICON/CURSOR");
  bad = good;
  bad[4] = 200;  // more entries than the file holds
  EXPECT_EQ(ReadIconMemory(bad.data(), bad.size()).status, 0);
  EXPECT_EQ(messages.sink.texts().back(), "error reading IconRes blocks");
  bad = good;
  PutLe32(bad.data() + 6 + 12, 0xFFFFFFF0);  // data offset beyond the end
  EXPECT_EQ(ReadIconMemory(bad.data(), bad.size()).status, 0);
  bad = good;
  PutLe32(bad.data() + 6 + 8, 0x7FFFFFFF);  // a size running past the end: what is there is used
  messages.sink.clear();
  EXPECT_EQ(ReadIconMemory(bad.data(), bad.size()).status, 2);
  EXPECT_EQ(messages.sink.texts().front(), "Trouble reading icon data.");
  bad = good;
  PutLe32(bad.data() + 22 + 4, 0x7FFFFFF);  // a huge width with no pixels behind it
  PutLe32(bad.data() + 22 + 8, 0x7FFFFFF);
  EXPECT_EQ(ReadIconMemory(bad.data(), bad.size()).status, 0);
  // A thousand entries naming the same image: together they may not outgrow one plane.
  {
    const Bytes dib(good.begin() + 22, good.end());
    Bytes many = IconFileOf(1, std::vector<Bytes>(1000, dib), std::vector<std::array<int, 3>>(1000, {8, 8, 1}));
    for (size_t i = 1; i < 1000; ++i) PutLe32(many.data() + 6 + 16 * i + 12, 6 + 16 * 1000);
    many.resize(6 + 16 * 1000 + dib.size());
    const size_t limit = MaxPlaneBytes();
    SetMaxPlaneBytes(20000);
    EXPECT_EQ(ReadIconMemory(many.data(), many.size()).status, 0);
    SetMaxPlaneBytes(limit);
    LoadResult all = ReadIconMemory(many.data(), many.size());
    ASSERT_EQ(all.status, 1);
    EXPECT_EQ(all.document->frameCount, 1000);
  }
  // 65,535 entries, all pointing outside the file, and one good one: a line per kind of
  // damage, not per entry, and the good image kept as a partial read.
  {
    const Bytes dib(good.begin() + 22, good.end());
    const size_t count = 65535;
    Bytes many = IconFileOf(1, std::vector<Bytes>(1, dib), std::vector<std::array<int, 3>>(1, {8, 8, 1}));
    Bytes directory(6 + 16 * count, 0);
    std::copy(many.begin(), many.begin() + 22, directory.begin());
    directory[4] = 0xFF;
    directory[5] = 0xFF;
    for (size_t i = 1; i < count; ++i) {
      std::copy(many.begin() + 6, many.begin() + 22, directory.begin() + static_cast<long>(6 + 16 * i));
      PutLe32(directory.data() + 6 + 16 * i + 12, 0xFFFFFF00u);  // beyond the end
    }
    PutLe32(directory.data() + 6 + 12, static_cast<uint32_t>(directory.size()));
    directory.insert(directory.end(), dib.begin(), dib.end());
    messages.sink.clear();
    LoadResult r = ReadIconMemory(directory.data(), directory.size());
    EXPECT_EQ(r.status, 2);
    ASSERT_TRUE(r.document);
    EXPECT_EQ(r.document->frameCount, 1);
    EXPECT_EQ(messages.sink.texts(), std::vector<std::string>{"Trouble reading icon data."});
  }
  bad = good;
  bad[22] = 0x11;  // neither a DIB nor PNG
  messages.sink.clear();
  EXPECT_EQ(ReadIconMemory(bad.data(), bad.size()).status, 0);
  EXPECT_EQ(messages.sink.texts().front(), "Unexpected format for an icon image.");
}

}  // namespace fw
