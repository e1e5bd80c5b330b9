// The clipboard transfer record: its fixed byte layout, a faithful round trip, and refusal of
// damaged records without reading past their end.
#include <gtest/gtest.h>

#include <cstring>

#include "core/clipboard_record.h"
#include "core/display_mask.h"
#include "core/frame_planes.h"
#include "core/indexed_image.h"
#include "support/test_support.h"

namespace fw {
namespace {

using namespace clip_record;

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}
void PutLe32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int k = 0; k < 4; ++k) b[at + k] = static_cast<uint8_t>(v >> (8 * k));
}

// Three frames; the first and last are selected. The last has a local palette, true colour,
// alpha, a name, transparency and an odd width.
AnimPtr MakeDocument() {
  AnimPtr doc = test::NewDocument(40, 30, 6);
  doc->playCount = 3;
  doc->backgroundIndex = 4;
  doc->aspectByte = 49;
  doc->encodedSize = 1234;
  ImageBlock& a = test::AddFrame(*doc, 2, 3, 4, 2, [](int x, int y) { return (x + y) % 6; });
  a.delay = 17;
  a.selected = 1;
  SetDisposal(a, kDisposalBackground);
  test::AddFrame(*doc, 0, 0, 1, 1, [](int, int) { return 0; });
  ImageBlock& b = test::AddFrame(*doc, -5, 7, 3, 3, [](int x, int y) { return x * 3 + y; });
  const Rgb local[9] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}, {13, 14, 15},
                        {16, 17, 18}, {19, 20, 21}, {22, 23, 24}, {25, 26, 27}};
  SetLocalPalette(b, Palette::Create(local, 9));
  SetColourTable(*b.indexedImage, b.activePalette);
  b.selected = 1;
  b.hotspotX = 1;
  b.hotspotY = 2;
  b.blend = 0;
  b.formerIndex = 7;
  SetInterlaced(b, true);
  SetTransparentIndex(b, 4);
  SetTransparency(b, true);
  SetFrameName(b, "walk 3");
  AddTrueColour(b, false);
  AddAlpha(b, false);
  for (size_t i = 0; i < b.trueColour.size(); ++i) b.trueColour[i] = static_cast<uint8_t>(i * 5);
  for (size_t i = 0; i < b.alpha.size(); ++i) b.alpha[i] = static_cast<uint8_t>(255 - i);
  CountSelected(*doc);
  return doc;
}

size_t FrameBytes(int width, int height, bool local, bool colour, bool alpha, size_t nameBytes) {
  const size_t h = static_cast<size_t>(height);
  return kFrameBytes + (local ? kPaletteBytes : 0) + Stride8(width) * h + (colour ? Stride24(width) * h : 0) +
         (alpha ? Stride8(width) * h : 0) + nameBytes;
}

TEST(ClipboardRecord, ByteLayout) {
  test::ScopedMessages messages;
  AnimPtr doc = MakeDocument();
  const std::vector<uint8_t> r = PackFrames(*doc);
  const size_t unnamed = std::strlen("[无名称]") + 1;
  const size_t first = kHeaderBytes + kPaletteBytes;
  const size_t second = first + FrameBytes(4, 2, false, false, false, unnamed);
  ASSERT_EQ(r.size(), second + FrameBytes(3, 3, true, true, true, 7));

  EXPECT_EQ(Le32(r, 0), 40u);
  EXPECT_EQ(Le32(r, 4), 30u);
  EXPECT_EQ(Le32(r, 8), 3u);
  EXPECT_EQ(Le32(r, 12), 3u);  // frame count, 16 bits and padding
  EXPECT_EQ(Le32(r, 28), 2u);  // frame records that follow
  EXPECT_NE(Le32(r, 32), 0u);  // global palette present
  EXPECT_EQ(r[37], 4);
  EXPECT_EQ(r[38], 49);
  EXPECT_EQ(Le32(r, 40), 1234u);

  EXPECT_EQ(r[kHeaderBytes] | r[kHeaderBytes + 1] << 8, 0x0300);
  EXPECT_EQ(r[kHeaderBytes + 2], 6);
  EXPECT_EQ(r[kHeaderBytes + 4 + 4 * 5 + 1], 250);  // green of entry 5

  EXPECT_EQ(r[first], 0x2C);
  EXPECT_EQ(Le32(r, first + 20), 2u);   // left
  EXPECT_EQ(Le32(r, first + 28), 4u);   // width
  EXPECT_EQ(Le32(r, first + 52), 0u);   // no local palette
  EXPECT_EQ(Le32(r, first + 56), 17u);  // delay
  EXPECT_EQ(r[first + 64], 2 << 2);     // disposal 2
  EXPECT_EQ(Le32(r, first + 80), 0u);
  EXPECT_EQ(r[first + kFrameBytes + 4 + 1], 2);  // indexed (1, 1)
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[second - unnamed])), "[无名称]");

  EXPECT_EQ(static_cast<int32_t>(Le32(r, second + 20)), -5);
  EXPECT_EQ(Le32(r, second + 36), 1u);  // hot spot
  EXPECT_EQ(Le32(r, second + 44), 0u);  // the atom is never stored
  EXPECT_NE(Le32(r, second + 52), 0u);
  EXPECT_EQ(Le32(r, second + 60), 0u);  // blend
  EXPECT_EQ(r[second + 64], 1);
  EXPECT_EQ(r[second + 65], 4);
  EXPECT_EQ(r[second + 66], 0x80 | 0x40 | 3);
  EXPECT_EQ(Le32(r, second + 68), 0u);  // mask handle
  EXPECT_NE(Le32(r, second + 80), 0u);
  EXPECT_NE(Le32(r, second + 84), 0u);
  EXPECT_EQ(Le32(r, second + 88), 0u);
  EXPECT_EQ(r[second + kFrameBytes + 2], 9);  // local palette count
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&r[r.size() - 7])), "walk 3");
}

TEST(ClipboardRecord, RoundTripKeepsPlanesPalettesNamesAndOffsets) {
  test::ScopedMessages messages;
  AnimPtr doc = MakeDocument();
  const std::vector<uint8_t> record = PackFrames(*doc);
  AnimPtr copy = UnpackFrames(record.data(), record.size());
  ASSERT_TRUE(copy);
  EXPECT_EQ(copy->frameCount, 2);
  EXPECT_EQ(copy->screenWidth, 40);
  EXPECT_EQ(copy->playCount, 3);
  EXPECT_EQ(copy->backgroundIndex, 4);
  EXPECT_EQ(copy->encodedSize, -1);
  EXPECT_EQ(copy->selectedCount, 0);
  EXPECT_EQ(copy->selectionAnchor, -1);
  ASSERT_TRUE(copy->globalPalette);
  EXPECT_TRUE(copy->globalPalette->sameEntries(*doc->globalPalette));
  EXPECT_EQ(copy->screenFlags, doc->screenFlags);

  const ImageBlock* a = ImageAt(copy.get(), 0);
  const ImageBlock* b = ImageAt(copy.get(), 1);
  const ImageBlock* sa = ImageAt(doc.get(), 0);
  const ImageBlock* sb = ImageAt(doc.get(), 2);
  EXPECT_EQ(a->left, 2);
  EXPECT_EQ(a->delay, 17);
  EXPECT_EQ(a->disposal(), kDisposalBackground);
  EXPECT_EQ(a->activePalette, copy->globalPalette.get());
  EXPECT_FALSE(a->localPalette);
  EXPECT_EQ(test::FramePixels(*a), test::FramePixels(*sa));
  EXPECT_EQ(FrameName(*a), "[无名称]");
  EXPECT_EQ(a->selected, 0);

  EXPECT_EQ(b->left, -5);
  EXPECT_EQ(b->top, 7);
  EXPECT_EQ(b->hotspotY, 2);
  EXPECT_EQ(b->blend, 0);
  EXPECT_EQ(b->formerIndex, 7);
  EXPECT_TRUE(b->interlaced());
  ASSERT_TRUE(b->localPalette);
  EXPECT_EQ(b->activePalette, b->localPalette.get());
  EXPECT_TRUE(b->localPalette->sameEntries(*sb->localPalette));
  EXPECT_EQ(b->descriptorFlags, sb->descriptorFlags);
  EXPECT_EQ(test::FramePixels(*b), test::FramePixels(*sb));
  EXPECT_EQ(b->trueColour, sb->trueColour);
  EXPECT_EQ(b->alpha, sb->alpha);
  EXPECT_EQ(FrameName(*b), "walk 3");
  EXPECT_TRUE(b->transparent());
  EXPECT_EQ(b->transparentIndex, 4);
  EXPECT_TRUE(HasDisplayMask(*b));
  EXPECT_EQ(b->indexedImage->colourTable[0], ColourEntry({1, 2, 3}));

  // Colour usage is counted over the frames that arrived.
  int32_t expected[256];
  CountIndexes(*a, expected, true);
  EXPECT_EQ(copy->colourUsage[2], expected[2]);
}

TEST(ClipboardRecord, NothingSelectedPacksNothing) {
  test::ScopedMessages messages;
  AnimPtr doc = MakeDocument();
  ClearSelection(*doc);
  EXPECT_TRUE(PackFrames(*doc).empty());
}

TEST(ClipboardRecord, DocumentWithoutGlobalPaletteAndZeroWidthFrame) {
  test::ScopedMessages messages;
  AnimPtr doc = CreateAnimation();
  doc->screenWidth = doc->screenHeight = 4;
  ImagePtr frame = CreateSizedImage(0, 2);  // stored as one pixel wide
  const Rgb two[2] = {{9, 9, 9}, {8, 8, 8}};
  SetLocalPalette(*frame, Palette::Create(two, 2));
  SetIndexedImage(*frame, AllocIndexedImage(0, 2, frame->activePalette));
  frame->indexedImage->row(1)[0] = 1;
  frame->selected = 1;
  AppendBlock(*doc, std::move(frame));
  const std::vector<uint8_t> record = PackFrames(*doc);
  EXPECT_EQ(Le32(record, 32), 0u);
  AnimPtr copy = UnpackFrames(record.data(), record.size());
  ASSERT_TRUE(copy);
  EXPECT_FALSE(copy->globalPalette);
  const ImageBlock* f = FirstImage(copy.get());
  EXPECT_EQ(f->width, 0);
  EXPECT_EQ(f->indexedImage->width, 1);
  EXPECT_EQ(f->indexedImage->row(1)[0], 1);
}

TEST(ClipboardRecord, DamagedRecordsAreRefused) {
  test::ScopedMessages messages;
  AnimPtr doc = MakeDocument();
  const std::vector<uint8_t> good = PackFrames(*doc);
  ASSERT_TRUE(UnpackFrames(good.data(), good.size()));
  EXPECT_FALSE(UnpackFrames(nullptr, 0));

  // Every truncation, read from a buffer of exactly that size so that ASan sees any overrun.
  for (size_t n = 0; n < good.size(); n += (n < kHeaderBytes + kPaletteBytes + 200 ? 1 : 7)) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
    EXPECT_FALSE(UnpackFrames(cut.data(), cut.size())) << n;
  }

  std::vector<uint8_t> longer = good;
  longer.push_back(0);
  EXPECT_FALSE(UnpackFrames(longer.data(), longer.size()));

  auto patched = [&](size_t at, uint32_t value) {
    std::vector<uint8_t> r = good;
    PutLe32(r, at, value);
    return UnpackFrames(r.data(), r.size());
  };
  const size_t first = kHeaderBytes + kPaletteBytes;
  EXPECT_FALSE(patched(28, 3));           // one frame record too many
  EXPECT_FALSE(patched(28, 1));           // one too few: bytes left over
  EXPECT_FALSE(patched(28, 0));
  EXPECT_FALSE(patched(28, 0x7FFFFFFF));  // a count no record could hold
  EXPECT_FALSE(patched(first + 28, 0x7FFFFFFF));  // width: rows far beyond the record
  EXPECT_FALSE(patched(first + 32, 0x40000000));
  EXPECT_FALSE(patched(first + 28, 0xFFFFFFFF));  // negative width
  EXPECT_FALSE(patched(first, 0x21));             // not an image block
  EXPECT_FALSE(patched(kHeaderBytes, 0x0200 | 6 << 16));  // palette version
  EXPECT_FALSE(patched(kHeaderBytes, 0x0300 | 0 << 16));  // no entries
  EXPECT_FALSE(patched(kHeaderBytes, 0x0300 | 257 << 16));
  EXPECT_FALSE(patched(8, 70000));  // play count out of range

  // A name without its terminating zero.
  std::vector<uint8_t> unterminated = good;
  unterminated.back() = 'x';
  EXPECT_FALSE(UnpackFrames(unterminated.data(), unterminated.size()));
}

TEST(ClipboardRecord, SizeLimitRefusesBeforeAllocating) {
  test::ScopedMessages messages;
  AnimPtr doc = MakeDocument();
  const std::vector<uint8_t> good = PackFrames(*doc);
  const size_t saved = MaxPlaneBytes();
  SetMaxPlaneBytes(8);
  EXPECT_FALSE(UnpackFrames(good.data(), good.size()));
  SetMaxPlaneBytes(saved);
  EXPECT_TRUE(UnpackFrames(good.data(), good.size()));
}

}  // namespace
}  // namespace fw
