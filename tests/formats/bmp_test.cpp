// BMP and DIB: the depths and headers we read, the bitmaps we write, and files that lie.
#include <gtest/gtest.h>

#include <climits>

#include "core/frame_planes.h"
#include "core/string_table.h"
#include "formats/bmp_file.h"
#include "formats/dib.h"
#include "formats/format_messages.h"
#include "formats/format_peers.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;

void Le16To(Bytes& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
void Le32To(Bytes& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}

struct BmpSpec {
  int32_t width = 1, height = 1;
  uint16_t bits = 8;
  uint32_t compression = 0;
  uint32_t headerSize = 40;
  std::vector<uint32_t> masks;  // after the header (bit fields)
  std::vector<uint32_t> table;  // 0x00RRGGBB entries
  uint32_t clrUsed = 0;
  Bytes pixels;
};

// File header (14), info header (40, or padded to headerSize), masks, table, pixels.
Bytes MakeBmp(const BmpSpec& s) {
  Bytes b = {'B', 'M'};
  const uint32_t offset = 14 + s.headerSize + 4 * static_cast<uint32_t>(s.masks.size() + s.table.size());
  Le32To(b, offset + static_cast<uint32_t>(s.pixels.size()));  // file size
  Le32To(b, 0);                                                 // reserved
  Le32To(b, offset);                                            // pixel offset
  Le32To(b, s.headerSize);
  Le32To(b, static_cast<uint32_t>(s.width));
  Le32To(b, static_cast<uint32_t>(s.height));
  Le16To(b, 1);  // planes
  Le16To(b, s.bits);
  Le32To(b, s.compression);
  Le32To(b, 0);  // image size
  Le32To(b, 0);  // x pixels per metre
  Le32To(b, 0);  // y pixels per metre
  Le32To(b, s.clrUsed);
  Le32To(b, 0);  // important colours
  b.resize(14 + s.headerSize, 0);
  for (uint32_t m : s.masks) Le32To(b, m);
  for (uint32_t e : s.table) Le32To(b, e);
  b.insert(b.end(), s.pixels.begin(), s.pixels.end());
  return b;
}

struct Bgr {
  int b, g, r;
  friend bool operator==(const Bgr&, const Bgr&) = default;
};
std::ostream& operator<<(std::ostream& o, const Bgr& c) { return o << "(" << c.r << "," << c.g << "," << c.b << ")"; }

Bgr ColourAt(const ImageBlock& f, int x, int y) {
  const uint8_t* p = TrueColourRows(f) + static_cast<size_t>(y) * Stride24(PlaneWidth(f)) + 3 * static_cast<size_t>(x);
  return {p[0], p[1], p[2]};
}

LoadResult Read(const Bytes& bytes) { return ReadBmpMemory(bytes.data(), bytes.size()); }

TEST(BmpRead, SixteenBitFieldsUseTheStretchTables) {
  test::ScopedMessages messages;
  BmpSpec s;
  s.width = 3;  // odd width: two padding bytes per row
  s.height = 1;
  s.bits = 16;
  s.compression = 3;
  s.masks = {0xF800, 0x07E0, 0x001F};  // 565
  s.pixels = {0xFF, 0xFF, 0x00, 0x00, 0x10, 0x84, 0xEE, 0xEE};
  LoadResult r = Read(MakeBmp(s));
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  const ImageBlock& f = *FirstImage(r.document.get());
  EXPECT_EQ(ColourAt(f, 0, 0), (Bgr{255, 255, 255}));  // full scale is white, not (248, 252, 248)
  EXPECT_EQ(ColourAt(f, 1, 0), (Bgr{0, 0, 0}));
  EXPECT_EQ(ColourAt(f, 2, 0), (Bgr{132, 130, 132}));  // 16 of 31, 32 of 63
  EXPECT_FALSE(f.indexedImage);
}

TEST(BmpRead, Default555OddWidthSkipsRowPadding) {
  test::ScopedMessages messages;
  BmpSpec s;
  s.width = 3;
  s.height = 2;
  s.bits = 16;
  // Bottom row first: red, green, blue + 2 padding bytes; then white, black, grey 16.
  s.pixels = {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0xAA, 0xAA,  //
              0xFF, 0x7F, 0x00, 0x00, 0x10, 0x42, 0x55, 0x55};
  LoadResult r = Read(MakeBmp(s));
  ASSERT_EQ(r.status, 1);
  const ImageBlock& f = *FirstImage(r.document.get());
  EXPECT_EQ(ColourAt(f, 0, 1), (Bgr{0, 0, 255}));
  EXPECT_EQ(ColourAt(f, 1, 1), (Bgr{0, 255, 0}));
  EXPECT_EQ(ColourAt(f, 2, 1), (Bgr{255, 0, 0}));
  EXPECT_EQ(ColourAt(f, 0, 0), (Bgr{255, 255, 255}));
  EXPECT_EQ(ColourAt(f, 1, 0), (Bgr{0, 0, 0}));
  EXPECT_EQ(ColourAt(f, 2, 0), (Bgr{132, 132, 132}));
}

TEST(BmpRead, SixteenBitMasksThatAreNotOneShortRunAreRefused) {
  for (uint32_t badRed : {0x0F0Fu, 0xFE00u, 0x70000u, 0u}) {
    test::ScopedMessages messages;
    BmpSpec s;
    s.bits = 16;
    s.compression = 3;
    s.masks = {badRed, 0x07E0, 0x001F};
    s.pixels = {0, 0, 0, 0};
    EXPECT_EQ(Read(MakeBmp(s)).status, 0);
    EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kBmp16BitUnsupported}) << std::hex << badRed;
  }
}

TEST(BmpRead, ThirtyTwoBitAlphaOnlyWhenSomeByteIsSet) {
  test::ScopedMessages messages;
  BmpSpec s;
  s.width = 2;
  s.bits = 32;
  s.pixels = {10, 20, 30, 0, 40, 50, 60, 0};
  LoadResult opaque = Read(MakeBmp(s));
  ASSERT_EQ(opaque.status, 1);
  const ImageBlock& a = *FirstImage(opaque.document.get());
  EXPECT_TRUE(a.alpha.empty());
  EXPECT_EQ(ColourAt(a, 1, 0), (Bgr{40, 50, 60}));

  s.pixels[7] = 9;  // one nonzero alpha byte keeps the whole plane, zeros included
  LoadResult withAlpha = Read(MakeBmp(s));
  ASSERT_EQ(withAlpha.status, 1);
  const ImageBlock& b = *FirstImage(withAlpha.document.get());
  ASSERT_TRUE(AlphaRows(b));
  EXPECT_EQ(AlphaRows(b)[0], 0);
  EXPECT_EQ(AlphaRows(b)[1], 9);
}

TEST(BmpRead, ThirtyTwoBitFieldsInAnotherByteOrder) {
  test::ScopedMessages messages;
  BmpSpec s;
  s.width = 1;
  s.bits = 32;
  s.compression = 3;
  s.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};  // red in the lowest byte
  s.pixels = {0x11, 0x22, 0x33, 0x00};
  LoadResult r = Read(MakeBmp(s));
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(ColourAt(*FirstImage(r.document.get()), 0, 0), (Bgr{0x33, 0x22, 0x11}));

  test::ScopedMessages refused;
  s.masks = {0x3FF00000, 0x000FFC00, 0x000003FF};  // 10-bit channels are not read
  EXPECT_EQ(Read(MakeBmp(s)).status, 0);
  EXPECT_EQ(refused.ids(), std::vector<int>{fmsg::kImageTypeUnsupported});
}

TEST(BmpRead, IndexedDepthsExpandToOneIndexPerPixel) {
  test::ScopedMessages messages;
  BmpSpec one;
  one.width = 10;
  one.height = 1;
  one.bits = 1;
  one.table = {0x000000, 0xFFFFFF};
  one.pixels = {0b10110000, 0b01000000, 0, 0};
  LoadResult r1 = Read(MakeBmp(one));
  ASSERT_EQ(r1.status, 1);
  EXPECT_EQ(test::FramePixels(*FirstImage(r1.document.get())), (Bytes{1, 0, 1, 1, 0, 0, 0, 0, 0, 1}));
  EXPECT_EQ(r1.document->globalPalette->count(), 2);

  BmpSpec four;
  four.width = 3;
  four.height = -2;  // top-down
  four.bits = 4;
  four.clrUsed = 3;
  four.table = {0x102030, 0x405060, 0x708090};
  four.pixels = {0x12, 0x00, 0, 0, 0x21, 0x10, 0, 0};
  LoadResult r4 = Read(MakeBmp(four));
  ASSERT_EQ(r4.status, 1);
  EXPECT_EQ(test::FramePixels(*FirstImage(r4.document.get())), (Bytes{1, 2, 0, 2, 1, 1}));
  const Palette& p = *r4.document->globalPalette;
  ASSERT_EQ(p.count(), 3);
  EXPECT_EQ(p[2], (Rgb{0x70, 0x80, 0x90}));
}

TEST(BmpRead, Os2BitmapWithThreeByteColourEntries) {
  test::ScopedMessages messages;
  Bytes b = {'B', 'M'};
  const uint32_t offset = 14 + 12 + 3 * 256;
  Le32To(b, offset + 4);
  Le32To(b, 0);
  Le32To(b, offset);
  Le32To(b, 12);  // OS/2 core header
  Le16To(b, 2);   // width
  Le16To(b, 2);   // height
  Le16To(b, 1);   // planes
  Le16To(b, 8);   // bits
  for (int i = 0; i < 256; ++i) {
    b.push_back(uint8_t(i));        // blue
    b.push_back(uint8_t(255 - i));  // green
    b.push_back(uint8_t(i / 2));    // red
  }
  b.insert(b.end(), {7, 200, 0, 0, 255, 1, 0, 0});  // bottom row, top row
  LoadResult r = Read(b);
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  const Palette& p = *r.document->globalPalette;
  ASSERT_EQ(p.count(), 256);
  EXPECT_EQ(p[200], (Rgb{100, 55, 200}));
  EXPECT_EQ(test::FramePixels(*FirstImage(r.document.get())), (Bytes{255, 1, 7, 200}));
}

TEST(BmpRead, LongerHeadersKeepTheirTableAndMasksInPlace) {
  test::ScopedMessages messages;
  {
    // 108-byte header, 4-bit: the table follows the longer header.
    BmpSpec s;
    s.headerSize = 108;
    s.bits = 4;
    s.width = 2;
    s.table = {0x000000, 0x102030};
    s.pixels = {0x10, 0, 0, 0};
    LoadResult r = Read(MakeBmp(s));
    ASSERT_EQ(r.status, 1);
    EXPECT_EQ((*r.document->globalPalette)[1], (Rgb{0x10, 0x20, 0x30}));
    EXPECT_EQ(test::FramePixels(*FirstImage(r.document.get())), (Bytes{1, 0}));
  }
  for (const uint32_t alphaMask : {0xFF000000u, 0u}) {
    // 124-byte header with bit fields inside it; the alpha mask says whether byte 3 is alpha.
    BmpSpec s;
    s.headerSize = 124;
    s.bits = 32;
    s.compression = 3;
    s.pixels = {0x30, 0x20, 0x10, 0x80};
    Bytes b = MakeBmp(s);
    for (int i = 0; i < 4; ++i) {
      const uint32_t mask = i == 0 ? 0xFF0000 : i == 1 ? 0xFF00 : i == 2 ? 0xFF : alphaMask;
      for (int k = 0; k < 4; ++k) b[14 + 40 + 4 * i + k] = uint8_t(mask >> (8 * k));
    }
    LoadResult r = Read(b);
    ASSERT_EQ(r.status, 1);
    const test::Rgba rgba = test::FrameRgba(*FirstImage(r.document.get()));
    EXPECT_EQ(rgba.at(0, 0)[0], 0x10);
    EXPECT_EQ(rgba.at(0, 0)[2], 0x30);
    EXPECT_EQ(rgba.at(0, 0)[3], alphaMask ? 0x80 : 255);
  }
  EXPECT_TRUE(messages.ids().empty());
}

TEST(BmpRead, ImageMagickBitmapsLoadAsImageMagickDecodesThem) {
  std::string out;
  if (!test::RunCapture({"convert", "-version"}, out)) GTEST_SKIP() << "ImageMagick not available";
  test::TempDir dir;
  const std::string source = dir.file("source.png");
  ASSERT_TRUE(test::RunCapture({"convert", "-size", "13x6", "gradient:red-blue", source}, out));
  struct Made {
    const char* name;
    std::vector<std::string> args;
  };
  const std::vector<Made> made = {
      {"default.bmp", {source}},
      {"bmp3.bmp", {source, "-type", "TrueColor"}},
      {"bmp4.bmp", {source, "-define", "bmp:format=bmp4"}},
      {"palette.bmp", {source, "-colors", "9", "-type", "Palette"}},
      {"alpha.bmp", {source, "-alpha", "set", "-channel", "A", "-fx", "(i+j)/18", "+channel"}},
      {"grey4.bmp", {source, "-colorspace", "Gray", "-colors", "12", "-type", "Palette"}},
  };
  for (const Made& m : made) {
    std::vector<std::string> args = {"convert"};
    args.insert(args.end(), m.args.begin(), m.args.end());
    const std::string path = dir.file(std::string(m.name) == "bmp3.bmp" ? "bmp3.bmp" : m.name);
    args.push_back(std::string(m.name) == "bmp3.bmp" ? "BMP3:" + path : path);
    ASSERT_TRUE(test::RunCapture(args, out)) << m.name;
    std::string peer;
    ASSERT_TRUE(test::RunCapture({"convert", path, "-depth", "8", "rgba:-"}, peer)) << m.name;
    test::ScopedMessages messages;
    LoadResult r = ReadBmpFile(path);
    ASSERT_EQ(r.status, 1) << m.name << " " << testing::PrintToString(messages.ids());
    const test::Rgba ours = test::FrameRgba(*FirstImage(r.document.get()));
    test::Rgba theirs(ours.width, ours.height);
    ASSERT_EQ(peer.size(), theirs.px.size()) << m.name;
    std::memcpy(theirs.px.data(), peer.data(), peer.size());
    EXPECT_EQ(test::MaxDifference(ours, theirs), 0) << m.name;
  }
}

TEST(BmpRead, UnsupportedHeadersAndCompressionsAreRefusedWithTheirMessages) {
  struct Case {
    uint32_t headerSize, compression;
    uint16_t bits;
    int message;
  };
  for (const Case& c : {Case{64, 0, 8, fmsg::kImageTypeUnsupported}, Case{124, 1, 8, fmsg::kBmpRunLength},
                        Case{40, 1, 8, fmsg::kBmpRunLength}, Case{40, 2, 4, fmsg::kBmpRunLength},
                        Case{40, 0, 2, fmsg::kImageTypeUnsupported}, Case{40, 4, 24, fmsg::kImageTypeUnsupported},
                        Case{40, 0, 64, fmsg::kImageTypeUnsupported}}) {
    test::ScopedMessages messages;
    BmpSpec s;
    s.headerSize = c.headerSize;
    s.compression = c.compression;
    s.bits = c.bits;
    s.table = {0, 0xFFFFFF};
    s.pixels = Bytes(16, 0);
    EXPECT_EQ(Read(MakeBmp(s)).status, 0);
    EXPECT_EQ(messages.ids(), std::vector<int>{c.message}) << c.headerSize << "/" << c.compression << "/" << c.bits;
  }
}

TEST(BmpRead, LyingHeadersNeitherCrashNorAllocateWhatTheyClaim) {
  {
    test::ScopedMessages messages;
    BmpSpec huge;
    huge.width = 65535;
    huge.height = 65535;
    huge.bits = 24;
    EXPECT_EQ(Read(MakeBmp(huge)).status, 0);
    ASSERT_EQ(messages.sink.texts().size(), 1u);  // the picture limit, with the numbers
    EXPECT_NE(messages.sink.texts()[0].find("65535 x 65535"), std::string::npos) << messages.sink.texts()[0];
  }
  {
    test::ScopedMessages messages;
    BmpSpec s;
    s.height = INT_MIN;
    EXPECT_EQ(Read(MakeBmp(s)).status, 0);
    s.height = 1;
    s.width = -4;
    EXPECT_EQ(Read(MakeBmp(s)).status, 0);
  }
  {
    // Pixels promised but missing read as index 0, and the read says it is partial; a colour
    // count far beyond the file is cut.
    test::ScopedMessages messages;
    BmpSpec s;
    s.width = 4;
    s.height = 3;
    s.clrUsed = 0xFFFFFFFF;
    s.table = {0x00FF00, 0x0000FF};
    s.pixels = {1, 1};
    LoadResult r = Read(MakeBmp(s));
    ASSERT_EQ(r.status, 2);
    EXPECT_EQ(messages.sink.texts().size(), 1u);
    EXPECT_LE(r.document->globalPalette->count(), 256);
  }
  {
    // A pixel offset far past the end: a picture of zeros, not a read past the buffer.
    test::ScopedMessages messages;
    BmpSpec s;
    s.width = 2;
    s.bits = 24;
    s.pixels = {1, 2, 3, 4, 5, 6, 0, 0};
    Bytes b = MakeBmp(s);
    b[10] = 0xF0;
    b[13] = 0x7F;
    LoadResult r = Read(b);
    ASSERT_EQ(r.status, 2);
    EXPECT_EQ(messages.sink.texts().size(), 1u);
    EXPECT_EQ(ColourAt(*FirstImage(r.document.get()), 1, 0), (Bgr{0, 0, 0}));
  }
  // Every cut of a valid file is refused or read, never read past.
  BmpSpec s;
  s.width = 5;
  s.height = 3;
  s.bits = 8;
  s.table = std::vector<uint32_t>(256, 0x123456);
  s.pixels = Bytes(24, 3);
  const Bytes whole = MakeBmp(s);
  for (size_t n = 0; n < whole.size(); n += (n < 80 ? 1 : 37)) {
    test::ScopedMessages messages;
    Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
    LoadResult r = Read(cut);
    if (r.status == 1) {
      EXPECT_EQ(FirstImage(r.document.get())->width, 5);
    }
  }
}

// --- writing ---

AnimPtr TrueColourDocument(int w, int h, bool withAlpha) {
  AnimPtr doc = CreateBlankAnimation(w, h);
  ImageBlock& f = *FirstImage(doc.get());
  uint8_t* c = AddTrueColour(f, true);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = c + static_cast<size_t>(y) * Stride24(w) + 3 * static_cast<size_t>(x);
      p[0] = uint8_t(10 * x);
      p[1] = uint8_t(20 * y);
      p[2] = uint8_t(x + y);
    }
  if (withAlpha) {
    uint8_t* a = AddAlpha(f, true);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) a[static_cast<size_t>(y) * Stride8(w) + static_cast<size_t>(x)] = uint8_t(x * 60);
  }
  return doc;
}

TEST(BmpWrite, TwentyFourBitHeaderAndRowsBottomUp) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = TrueColourDocument(3, 2, false);
  ASSERT_EQ(WriteBmpFile(dir.file("a.bmp"), *FirstImage(doc.get()), 0), 1);
  const Bytes b = test::ReadBytes(dir.file("a.bmp"));
  ASSERT_EQ(b.size(), 54u + 2 * 12);
  EXPECT_EQ(Le32(&b[10]), 54u);
  EXPECT_EQ(Le32(&b[2]), b.size());
  EXPECT_EQ(Le16(&b[28]), 24);
  EXPECT_EQ(static_cast<int32_t>(Le32(&b[22])), 2);  // positive height
  // The first stored row is the bottom one (y = 1): pixel 1 is (10, 20, 2).
  EXPECT_EQ(b[54 + 3], 10);
  EXPECT_EQ(b[54 + 4], 20);
  EXPECT_EQ(b[54 + 5], 2);

  LoadResult back = ReadBmpFile(dir.file("a.bmp"));
  ASSERT_EQ(back.status, 1);
  EXPECT_EQ(FirstImage(back.document.get())->trueColour, FirstImage(doc.get())->trueColour);
}

TEST(BmpWrite, AlphaGoesInTheFourthByteAndClearPixelsAreZero) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = TrueColourDocument(3, 1, true);
  ASSERT_EQ(WriteBmpFile(dir.file("a.bmp"), *FirstImage(doc.get()), 0), 1);
  const Bytes b = test::ReadBytes(dir.file("a.bmp"));
  ASSERT_EQ(b.size(), 54u + 12);
  EXPECT_EQ(Le16(&b[28]), 32);
  EXPECT_EQ(Bytes(b.begin() + 54, b.end()), (Bytes{0, 0, 0, 0, 10, 0, 1, 60, 20, 0, 2, 120}));

  // Forced 8-bit output needs the indexed picture.
  EXPECT_EQ(WriteBmpFile(dir.file("b.bmp"), *FirstImage(doc.get()), bmp_flag::kForce8Bit), 0);
}

TEST(BmpWrite, EightBitWithFullColourTable) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(5, 3, 7);
  test::AddFrame(*doc, 0, 0, 5, 3, [](int x, int y) { return (x + y) % 7; });
  ASSERT_EQ(WriteBmpFile(dir.file("p.bmp"), *FirstImage(doc.get()), 0), 1);
  const Bytes b = test::ReadBytes(dir.file("p.bmp"));
  EXPECT_EQ(Le32(&b[10]), 1078u);
  ASSERT_EQ(b.size(), 1078u + 3 * 8);
  LoadResult back = ReadBmpMemory(b.data(), b.size());
  ASSERT_EQ(back.status, 1);
  EXPECT_EQ(test::FramePixels(*FirstImage(back.document.get())), test::FramePixels(*FirstImage(doc.get())));
  EXPECT_EQ((*back.document->globalPalette)[6], (*doc->globalPalette)[6]);
}

TEST(BmpWrite, UncreatableFileShowsTheTemporaryMessage) {
  test::ScopedMessages messages;
  AnimPtr doc = TrueColourDocument(2, 2, false);
  EXPECT_EQ(WriteBmpFile("/nonexistent-dir/x.bmp", *FirstImage(doc.get()), 0), 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kCannotSaveTemp});
}

TEST(BmpWrite, PillowReadsOurBitmapsToTheSamePixels) {
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow not available";
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr rgb = TrueColourDocument(7, 5, false);
  AnimPtr rgba = TrueColourDocument(6, 4, true);
  AnimPtr indexed = test::NewDocument(9, 3, 200);
  test::AddFrame(*indexed, 0, 0, 9, 3, [](int x, int y) { return x * 20 + y; });
  for (AnimHeader* doc : {rgb.get(), rgba.get(), indexed.get()}) {
    const ImageBlock& f = *FirstImage(doc);
    ASSERT_EQ(WriteBmpFile(dir.file("peer.bmp"), f, 0), 1);
    std::vector<test::Rgba> peer = test::PillowFrames(dir.file("peer.bmp"));
    ASSERT_EQ(peer.size(), 1u);
    test::Rgba ours = test::FrameRgba(f);
    if (!f.alpha.empty()) {
      // Pillow shows a 32-bit bitmap without a V4 header as opaque: what it must match is the
      // colour we stored, black where the pixel was clear.
      for (size_t i = 0; i < ours.px.size(); i += 4) {
        if (ours.px[i + 3] == 0) ours.px[i] = ours.px[i + 1] = ours.px[i + 2] = 0;
        ours.px[i + 3] = peer[0].px[i + 3] = 255;
      }
    }
    EXPECT_EQ(test::MaxDifference(ours, peer[0]), 0);
  }
}

}  // namespace
}  // namespace fw
