// Single PNG pictures: colour types into frames, transparency rules, the pAni filmstrip chunk,
// what libpng makes of the files we write, and damaged input.
#include <gtest/gtest.h>

#include <png.h>

#include <cstring>

#include "core/frame_planes.h"
#include "core/string_table.h"
#include "formats/format_messages.h"
#include "formats/format_peers.h"
#include "core/preferences.h"
#include "formats/png_file.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;
using test::Cat;
using test::Chunk;

Bytes PalettePng(int w, int h, const Bytes& plte, const Bytes& trns, uint8_t fill0 = 0) {
  Bytes body = Cat({test::Signature(), test::Ihdr(w, h, 8, 3), Chunk("PLTE", plte)});
  if (!trns.empty()) body = Cat({body, Chunk("tRNS", trns)});
  return Cat({body, Chunk("IDAT", test::ImageData(w, h, [&](int x, int y) { return (x + y + fill0) % (plte.size() / 3); })),
              test::Iend()});
}

LoadResult Read(const Bytes& b) { return ReadPngBytes(b.data(), b.size()); }

// libpng's own reading of a file we wrote, as RGBA.
test::Rgba LibpngRgba(const std::string& path) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  test::Rgba out;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return out;
  image.format = PNG_FORMAT_RGBA;
  out = test::Rgba(static_cast<int>(image.width), static_cast<int>(image.height));
  if (!png_image_finish_read(&image, nullptr, out.px.data(), 0, nullptr)) return test::Rgba();
  return out;
}

TEST(PngRead, PlainPaletteImageIsOneStillFrame) {
  test::ScopedMessages messages;
  const Bytes plte = {0, 0, 0, 255, 0, 0, 0, 255, 0};
  LoadResult r = Read(PalettePng(4, 3, plte, {}));
  ASSERT_EQ(r.status, 1) << testing::PrintToString(messages.ids());
  const AnimHeader& doc = *r.document;
  EXPECT_EQ(doc.frameCount, 1);
  EXPECT_EQ(doc.playCount, 0);
  EXPECT_EQ(doc.hideFirstFrame, 0);
  EXPECT_EQ(doc.screenWidth, 4);
  const ImageBlock& f = *FirstImage(&doc);
  EXPECT_EQ(f.delay, static_cast<int32_t>(Prefs().read(pref::kDefaultDelay)));  // a still picture
  EXPECT_EQ(f.disposal(), kDisposalLeave);
  EXPECT_EQ(f.blend, 0);
  EXPECT_FALSE(f.transparent());
  ASSERT_EQ(doc.globalPalette->count(), 3);
  EXPECT_EQ((*doc.globalPalette)[1], (Rgb{255, 0, 0}));
  EXPECT_EQ(test::FramePixels(f), (Bytes{0, 1, 2, 0, 1, 2, 0, 1, 2, 0, 1, 2}));
  EXPECT_TRUE(messages.ids().empty());
}

TEST(PngRead, GreyImagesGetRampPalettes) {
  struct Case {
    uint8_t depth;
    std::vector<uint8_t> expect;  // first entries of the ramp
    int count;
  };
  for (const Case& c : {Case{1, {0, 255}, 2}, Case{2, {0, 85, 170, 255}, 4}, Case{4, {0, 17, 34}, 16},
                        Case{8, {0, 1, 2}, 256}, Case{16, {0, 1, 2}, 256}}) {
    test::ScopedMessages messages;
    const int rowBytes = c.depth == 16 ? 4 : c.depth == 8 ? 2 : 1;  // two pixels
    const Bytes png = Cat({test::Signature(), test::Ihdr(2, 1, c.depth, 0),
                           Chunk("IDAT", test::ImageData(rowBytes, 1, [&](int x, int) {
                             return c.depth == 1 ? 0x40 : c.depth == 2 ? 0x70 : c.depth == 4 ? 0x2F : 0x80 + x;
                           })),
                           test::Iend()});
    LoadResult r = Read(png);
    ASSERT_EQ(r.status, 1) << int{c.depth};
    const Palette& p = *r.document->globalPalette;
    ASSERT_EQ(p.count(), c.count) << int{c.depth};
    for (size_t i = 0; i < c.expect.size(); ++i) EXPECT_EQ(p[static_cast<int>(i)].g, c.expect[i]) << int{c.depth};
    const Bytes px = test::FramePixels(*FirstImage(r.document.get()));
    if (c.depth == 1) {
      EXPECT_EQ(px, (Bytes{0, 1}));
    }
    if (c.depth == 2) {
      EXPECT_EQ(px, (Bytes{1, 3}));
    }
    if (c.depth == 4) {
      EXPECT_EQ(px, (Bytes{2, 15}));
    }
    if (c.depth == 8) {
      EXPECT_EQ(px, (Bytes{0x80, 0x81}));
    }
    if (c.depth == 16) {
      EXPECT_EQ(px, (Bytes{0x80, 0x82}));  // high bytes of 0x8081, 0x8283
    }
  }
}

TEST(PngRead, PartialAlphaFoldsOntoTheFirstTransparentIndex) {
  test::ScopedMessages messages;
  Bytes plte;
  for (int i = 0; i < 10; ++i) plte.insert(plte.end(), {uint8_t(i * 20), 0, 0});
  Bytes trns(10, 255);
  trns[5] = 0;
  trns[9] = 128;
  const Bytes png = Cat({test::Signature(), test::Ihdr(10, 1, 8, 3), Chunk("PLTE", plte), Chunk("tRNS", trns),
                         Chunk("IDAT", test::ImageData(10, 1, [](int x, int) { return x; })), test::Iend()});
  LoadResult r = Read(png);
  ASSERT_EQ(r.status, 1);
  const ImageBlock& f = *FirstImage(r.document.get());
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.transparentIndex, 5);
  EXPECT_EQ(test::FramePixels(f), (Bytes{0, 1, 2, 3, 4, 5, 6, 7, 8, 5}));
}

TEST(PngRead, ColourKeyMakesTheKeyedPixelsTransparent) {
  test::ScopedMessages messages;
  {
    // RGB: the pixel (1, 2, 3) is the key; the other stays opaque.
    const Bytes png = Cat({test::Signature(), test::Ihdr(2, 1, 8, 2), Chunk("tRNS", {0, 1, 0, 2, 0, 3}),
                           Chunk("IDAT", test::ImageData(6, 1, [](int x, int) { return x + 1; })), test::Iend()});
    LoadResult r = Read(png);
    ASSERT_EQ(r.status, 1);
    const test::Rgba rgba = test::FrameRgba(*FirstImage(r.document.get()));
    EXPECT_EQ(rgba.at(0, 0)[3], 0);
    EXPECT_EQ(rgba.at(1, 0)[3], 255);
    EXPECT_EQ(rgba.at(1, 0)[0], 4);
  }
  {
    // 16-bit RGB: the key compares all 16 bits, so a near miss stays opaque.
    const Bytes png = Cat({test::Signature(), test::Ihdr(2, 1, 16, 2), Chunk("tRNS", {1, 2, 3, 4, 5, 6}),
                           Chunk("IDAT", test::ImageData(12, 1, [](int x, int) { return x < 6 ? x + 1 : x == 11 ? 7 : x - 5; })),
                           test::Iend()});
    LoadResult r = Read(png);
    ASSERT_EQ(r.status, 1);
    const test::Rgba rgba = test::FrameRgba(*FirstImage(r.document.get()));
    EXPECT_EQ(rgba.at(0, 0)[3], 0);
    EXPECT_EQ(rgba.at(1, 0)[3], 255);
  }
  {
    // 4-bit grey: the key level is the transparent index.
    const Bytes png = Cat({test::Signature(), test::Ihdr(4, 1, 4, 0), Chunk("tRNS", {0, 9}),
                           Chunk("IDAT", test::ImageData(2, 1, [](int x, int) { return x == 0 ? 0x19 : 0x9F; })),
                           test::Iend()});
    LoadResult r = Read(png);
    ASSERT_EQ(r.status, 1);
    const ImageBlock& f = *FirstImage(r.document.get());
    ASSERT_TRUE(f.transparent());
    EXPECT_EQ(f.transparentIndex, 9);
    EXPECT_EQ(test::FramePixels(f), (Bytes{1, 9, 9, 15}));
  }
  EXPECT_TRUE(messages.ids().empty());
}

TEST(PngRead, ColourKeyedFilesFromPillowLoadAsPillowShowsThem) {
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow not available";
  test::TempDir temp;
  const std::string& dir = temp.path();
  std::string out;
  ASSERT_TRUE(test::RunCapture({"/usr/bin/python3", "-c", R"(
import sys
from PIL import Image
d = sys.argv[1]
rgb = Image.new('RGB', (7, 5))
rgb.putdata([((x * 40) % 256, (y * 60) % 256, 90) for y in range(5) for x in range(7)])
rgb.save(d + '/rgb.png', transparency=(80, 60, 90))
grey = Image.new('L', (7, 5))
grey.putdata([(x * 30 + y) % 256 for y in range(5) for x in range(7)])
grey.save(d + '/grey.png', transparency=62)
)", dir}, out));
  for (const char* name : {"rgb.png", "grey.png"}) {
    test::ScopedMessages messages;
    const std::string path = dir + "/" + name;
    LoadResult r = ReadPngFile(path);
    ASSERT_EQ(r.status, 1) << name;
    const std::vector<test::Rgba> peer = test::PillowFrames(path);
    ASSERT_EQ(peer.size(), 1u) << name;
    const test::Rgba ours = test::FrameRgba(*FirstImage(r.document.get()));
    int transparent = 0;
    for (size_t i = 3; i < peer[0].px.size(); i += 4) transparent += peer[0].px[i] == 0;
    EXPECT_GT(transparent, 0) << name;
    EXPECT_EQ(test::MaxDifference(ours, peer[0]), 0) << name;
  }
}

TEST(PngRead, DamagedAndHostileInput) {
  const Bytes good = PalettePng(6, 4, {1, 2, 3, 4, 5, 6}, {});
  {
    test::ScopedMessages messages;
    EXPECT_EQ(Read(Bytes(good.begin(), good.begin() + 7)).status, 0);
    EXPECT_TRUE(messages.ids().empty());  // too short to be anything: silent
  }
  {
    test::ScopedMessages messages;
    Bytes wrong = good;
    wrong[1] = 'Q';
    EXPECT_EQ(Read(wrong).status, 0);
    EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kPngDamaged});
  }
  {
    // Too large to allocate: refused before the rows exist.
    test::ScopedMessages messages;
    const Bytes huge = Cat({test::Signature(), test::Ihdr(60000, 60000, 8, 6),
                            Chunk("IDAT", test::ImageData(1, 1, [](int, int) { return 0; })), test::Iend()});
    EXPECT_EQ(Read(huge).status, 0);
    ASSERT_EQ(messages.sink.texts().size(), 1u);  // the picture limit, with the numbers
    EXPECT_NE(messages.sink.texts()[0].find("60000 x 60000"), std::string::npos) << messages.sink.texts()[0];
  }
  {
    // A bad CRC on the image data is damage, not a picture.
    test::ScopedMessages messages;
    Bytes bad = good;
    bad[bad.size() - 13] ^= 0x55;
    EXPECT_EQ(Read(bad).status, 0);
    EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kPngDamaged});
  }
  for (size_t n = 8; n < good.size(); ++n) {
    test::ScopedMessages messages;
    LoadResult r = Read(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n)));
    // Only the end chunk may be missing from a picture we accept.
    if (r.status == 1) {
      EXPECT_GE(n, good.size() - 12);
    }
  }
}

// A chunk header declaring nearly 2 GB, followed by a few bytes: a download cut inside a text
// chunk, or a file made to exhaust memory. The pixels before it must survive, and nothing may be
// sized from the declared length (the fuzzers' memory limit guards the second half).
TEST(PngRead, HugeDeclaredChunksCostNoMemoryAndKeepThePicture) {
  const Bytes plte = {10, 20, 30, 40, 50, 60, 70, 80, 90};
  const Bytes good = PalettePng(5, 3, plte, {});
  const LoadResult reference = Read(good);
  ASSERT_EQ(reference.status, 1);
  const test::Rgba expected = test::FrameRgba(*FirstImage(reference.document.get()));
  const size_t afterImage = good.size() - 12;
  const size_t beforeImage = 8 + 25 + 12 + plte.size();
  for (const char* type : {"tEXt", "zTXt", "iTXt", "iCCP", "pAni", "eXIf"}) {
    Bytes header = test::Be(0x7ff00000u);
    header.insert(header.end(), type, type + 4);
    header.insert(header.end(), {'k', 0, 'v', 'v'});
    for (size_t at : {afterImage, beforeImage}) {
      test::ScopedMessages messages;
      Bytes hostile(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(at));
      hostile.insert(hostile.end(), header.begin(), header.end());
      const LoadResult r = Read(hostile);
      if (at == beforeImage) {
        EXPECT_EQ(r.status, 0) << type;  // no pixels were reached
        continue;
      }
      ASSERT_NE(r.document, nullptr) << type;
      EXPECT_EQ(test::MaxDifference(test::FrameRgba(*FirstImage(r.document.get())), expected), 0) << type;
    }
  }
}

// ImageMagick writes its date and comment text after the image data, so a download cut short
// usually ends inside text. Such a file, cut there or with a text length made absurd, still
// shows what Pillow shows of the whole file.
TEST(PngRead, ImageMagickFilesCutOrSwollenInTheirTrailingTextKeepThePicture) {
  if (!test::HavePillow()) GTEST_SKIP() << "Pillow not available";
  test::TempDir temp;
  const std::string path = temp.path() + "/magick.png";
  std::string out;
  if (!test::RunCapture({"convert", "-size", "37x23", "gradient:red-blue", "-set", "comment", "made for a test", path},
                        out))
    GTEST_SKIP() << "ImageMagick not available";
  const std::vector<test::Rgba> peer = test::PillowFrames(path);
  ASSERT_EQ(peer.size(), 1u);
  const Bytes whole = test::ReadBytes(path);
  size_t lastText = 0;
  for (size_t at = 8; at + 12 <= whole.size();) {
    const size_t length = size_t{whole[at]} << 24 | size_t{whole[at + 1]} << 16 | size_t{whole[at + 2]} << 8 | whole[at + 3];
    if (std::memcmp(&whole[at + 4], "tEXt", 4) == 0) lastText = at;
    at += 12 + length;
  }
  ASSERT_GT(lastText, 0u) << "no text chunk to damage";
  const Bytes swollen = [&] {
    Bytes b = whole;
    b[lastText] = 0x7f;
    return b;
  }();
  const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(lastText + 14));
  for (const Bytes* damaged : {&whole, &cut, &swollen}) {
    test::ScopedMessages messages;
    const LoadResult r = Read(*damaged);
    ASSERT_NE(r.document, nullptr);
    EXPECT_EQ(test::MaxDifference(test::FrameRgba(*FirstImage(r.document.get())), peer[0]), 0);
  }
}

// --- writing ---

TEST(PngWrite, LibpngReadsEveryColourTypeWeWrite) {
  test::ScopedMessages messages;
  test::TempDir dir;
  // Palette with transparency; the frame uses an index beyond its 4-entry palette.
  AnimPtr doc = test::NewDocument(5, 3, 4);
  ImageBlock& indexed = test::AddFrame(*doc, 0, 0, 5, 3, [](int x, int y) { return (x + y) % 6; });
  SetTransparentIndex(indexed, 2);
  SetTransparency(indexed, true);
  ASSERT_EQ(WritePng(dir.file("p.png"), indexed, nullptr), 1);
  test::Rgba peer = LibpngRgba(dir.file("p.png"));
  ASSERT_EQ(peer.width, 5);
  EXPECT_EQ(test::MaxDifference(peer, test::FrameRgba(indexed)), 0);

  ASSERT_EQ(ExpandToTrueColour(indexed), 1);  // true colour with alpha: RGBA
  ASSERT_EQ(WritePng(dir.file("a.png"), indexed, nullptr), 1);
  EXPECT_EQ(test::MaxDifference(LibpngRgba(dir.file("a.png")), test::FrameRgba(indexed)), 0);
  RemoveAlpha(indexed);  // true colour only: RGB
  ASSERT_EQ(WritePng(dir.file("c.png"), indexed, nullptr), 1);
  EXPECT_EQ(test::MaxDifference(LibpngRgba(dir.file("c.png")), test::FrameRgba(indexed)), 0);
  EXPECT_TRUE(messages.ids().empty());

  // Each comes back through our reader with the same planes.
  LoadResult back = ReadPngFile(dir.file("c.png"));
  ASSERT_EQ(back.status, 1);
  EXPECT_EQ(FirstImage(back.document.get())->trueColour, indexed.trueColour);
}

TEST(PngWrite, MemoryRangeAndCounterAgreeWithTheFile) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(16, 16, 256);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 16, 16, [](int x, int y) { return x * y; });
  ASSERT_EQ(WritePng(dir.file("f.png"), f, doc.get()), 1);
  const Bytes file = test::ReadBytes(dir.file("f.png"));
  EXPECT_EQ(PngEncodedSize(f, doc.get()), file.size());
  Bytes memory(file.size());
  size_t written = 0;
  ASSERT_EQ(WritePngMemory(memory.data(), memory.data() + memory.size(), f, doc.get(), &written), 1);
  EXPECT_EQ(written, file.size());
  EXPECT_EQ(memory, file);
  EXPECT_EQ(WritePngMemory(memory.data(), memory.data() + memory.size() - 1, f, doc.get(), &written), 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kPngEncodeError});

  ImagePtr block = ReadPngMemory(file.data(), file.size());
  ASSERT_TRUE(block);
  ASSERT_TRUE(block->localPalette);
  EXPECT_EQ(block->activePalette, block->localPalette.get());
  EXPECT_EQ(test::FramePixels(*block), test::FramePixels(f));
}

TEST(PngWrite, FilmstripChunkSplitsThePictureOnReading) {
  test::ScopedMessages messages;
  test::TempDir dir;
  // The strip of a 4-frame animation: 4 tiles of 3 x 2 side by side.
  AnimPtr anim = test::NewDocument(3, 2, 8);
  for (int k = 0; k < 4; ++k) test::AddFrame(*anim, 0, 0, 3, 2, [k](int, int) { return k; }).delay = 5 * (k + 1);
  AnimPtr strip = test::NewDocument(12, 2, 8);
  ImageBlock& picture = test::AddFrame(*strip, 0, 0, 12, 2, [](int x, int) { return x / 3; });
  ASSERT_EQ(WritePng(dir.file("strip.png"), picture, anim.get()), 1);

  // The chunk sits after the image data: 4, then the delays.
  const Bytes file = test::ReadBytes(dir.file("strip.png"));
  bool truncated = false;
  const auto chunks = WalkPngChunks(file.data(), file.size(), truncated);
  ASSERT_GE(chunks.size(), 3u);
  const PngChunk& pAni = chunks[chunks.size() - 2];
  ASSERT_EQ(pAni.type, ChunkType("pAni"));
  EXPECT_EQ(Bytes(file.begin() + static_cast<std::ptrdiff_t>(pAni.dataOffset()),
                  file.begin() + static_cast<std::ptrdiff_t>(pAni.dataOffset() + pAni.length)),
            (Bytes{4, 0, 0, 0, 5, 0, 0, 0, 10, 0, 0, 0, 15, 0, 0, 0, 20, 0, 0, 0}));

  LoadResult back = ReadPngFile(dir.file("strip.png"));
  ASSERT_EQ(back.status, 1);
  ASSERT_EQ(back.document->frameCount, 4);
  EXPECT_EQ(back.document->screenWidth, 3);
  int k = 0;
  for (ImageBlock* f = FirstImage(back.document.get()); f; f = NextImage(f), ++k) {
    EXPECT_EQ(f->delay, 5 * (k + 1));
    EXPECT_EQ(f->disposal(), kDisposalBackground);
    EXPECT_EQ(test::FramePixels(*f), Bytes(6, static_cast<uint8_t>(k)));
  }

  // A chunk that lies about its count splits nothing and reads nothing it does not hold.
  for (const Bytes& lie : {Bytes{0, 0, 0, 0}, Bytes{200, 0, 0, 0, 1, 0, 0, 0}, Bytes{2, 0}}) {
    test::ScopedMessages quiet;
    const Bytes png = Cat({test::Signature(), test::Ihdr(4, 1, 8, 0),
                           Chunk("IDAT", test::ImageData(4, 1, [](int x, int) { return x; })), Chunk("pAni", lie),
                           test::Iend()});
    LoadResult r = Read(png);
    ASSERT_EQ(r.status, 1);
    EXPECT_EQ(r.document->frameCount, 1);
  }
  const Bytes shortDelays = Cat({test::Signature(), test::Ihdr(4, 1, 8, 0),
                                 Chunk("IDAT", test::ImageData(4, 1, [](int x, int) { return x; })),
                                 Chunk("pAni", {2, 0, 0, 0, 9, 0, 0, 0}), test::Iend()});
  LoadResult r = Read(shortDelays);
  ASSERT_EQ(r.document->frameCount, 2);
  EXPECT_EQ(FirstImage(r.document.get())->delay, 9);
}

}  // namespace
}  // namespace fw
