// JPEG through libjpeg-turbo: colour spaces in, quality out, and failures that must come back
// as messages instead of ending the program.
#include <gtest/gtest.h>

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

#include "core/frame_planes.h"
#include "core/preferences.h"
#include "formats/format_messages.h"
#include "formats/format_peers.h"
#include "formats/jpeg_file.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;

struct Trap {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};
[[noreturn]] void Jump(j_common_ptr c) { std::longjmp(reinterpret_cast<Trap*>(c->err)->jump, 1); }

// A JPEG of the given colour space made by libjpeg itself: component k of pixel (x, y) is
// fill(x, y, k).
template <typename Fill>
Bytes EncodeJpeg(int w, int h, J_COLOR_SPACE space, int components, Fill fill, int quality = 90) {
  jpeg_compress_struct info{};
  Trap trap;
  info.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = Jump;
  unsigned char* out = nullptr;
  unsigned long size = 0;
  if (setjmp(trap.jump)) {
    jpeg_destroy_compress(&info);
    return {};
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &out, &size);
  info.image_width = static_cast<JDIMENSION>(w);
  info.image_height = static_cast<JDIMENSION>(h);
  info.input_components = components;
  info.in_color_space = space;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, quality, TRUE);
  jpeg_start_compress(&info, TRUE);
  std::vector<uint8_t> row(static_cast<size_t>(w * components));
  while (info.next_scanline < info.image_height) {
    for (int x = 0; x < w; ++x)
      for (int k = 0; k < components; ++k)
        row[static_cast<size_t>(x * components + k)] = static_cast<uint8_t>(fill(x, static_cast<int>(info.next_scanline), k));
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&info, &p, 1);
  }
  jpeg_finish_compress(&info);
  jpeg_destroy_compress(&info);
  Bytes bytes(out, out + size);
  free(out);
  return bytes;
}

// What libjpeg decodes from a file: RGB pixels and the luminance quantisation table.
struct Decoded {
  int width = 0, height = 0;
  std::vector<uint8_t> rgb;
  std::vector<int> lumaTable;
};
Decoded DecodeJpeg(const Bytes& bytes) {
  jpeg_decompress_struct info{};
  Trap trap;
  info.err = jpeg_std_error(&trap.mgr);
  trap.mgr.error_exit = Jump;
  Decoded d;
  if (setjmp(trap.jump)) {
    jpeg_destroy_decompress(&info);
    return {};
  }
  jpeg_create_decompress(&info);
  jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
  jpeg_read_header(&info, TRUE);
  if (info.quant_tbl_ptrs[0])
    for (int i = 0; i < DCTSIZE2; ++i) d.lumaTable.push_back(info.quant_tbl_ptrs[0]->quantval[i]);
  info.out_color_space = JCS_RGB;
  jpeg_start_decompress(&info);
  d.width = static_cast<int>(info.output_width);
  d.height = static_cast<int>(info.output_height);
  d.rgb.resize(static_cast<size_t>(d.width * d.height * 3));
  while (info.output_scanline < info.output_height) {
    JSAMPROW p = d.rgb.data() + static_cast<size_t>(info.output_scanline) * static_cast<size_t>(d.width) * 3;
    jpeg_read_scanlines(&info, &p, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return d;
}

LoadResult Read(const Bytes& b) { return ReadJpegMemory(b.data(), b.size()); }

TEST(JpegRead, ColourFileComesInAsBlueGreenRed) {
  test::ScopedMessages messages;
  const Bytes jpeg = EncodeJpeg(16, 8, JCS_RGB, 3, [](int x, int, int k) { return k == 0 ? 200 : k == 1 ? 16 * x : 40; });
  LoadResult r = Read(jpeg);
  ASSERT_EQ(r.status, 1);
  const ImageBlock& f = *FirstImage(r.document.get());
  EXPECT_FALSE(f.indexedImage);
  ASSERT_TRUE(TrueColourRows(f));
  const uint8_t* p = TrueColourRows(f) + Stride24(16) * 4 + 3 * 10;  // (10, 4)
  EXPECT_NEAR(p[2], 200, 6);  // red
  EXPECT_NEAR(p[1], 160, 6);
  EXPECT_NEAR(p[0], 40, 6);
  EXPECT_EQ(r.document->screenWidth, 16);
}

TEST(JpegRead, GreyscaleIsReplicatedIntoEveryChannel) {
  test::ScopedMessages messages;
  const Bytes jpeg = EncodeJpeg(9, 5, JCS_GRAYSCALE, 1, [](int x, int y, int) { return 20 * x + y; });
  LoadResult r = Read(jpeg);
  ASSERT_EQ(r.status, 1);
  const ImageBlock& f = *FirstImage(r.document.get());
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 9; ++x) {
      const uint8_t* p = TrueColourRows(f) + Stride24(9) * static_cast<size_t>(y) + 3 * static_cast<size_t>(x);
      EXPECT_EQ(p[0], p[1]);
      EXPECT_EQ(p[1], p[2]);
    }
}

TEST(JpegRead, CmykIsRefusedAndNothingLoads) {
  test::ScopedMessages messages;
  const Bytes jpeg = EncodeJpeg(8, 8, JCS_CMYK, 4, [](int, int, int k) { return 60 * k; });
  ASSERT_FALSE(jpeg.empty());
  LoadResult r = Read(jpeg);
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(r.document);
  EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kJpegNotRgb});
}

TEST(JpegRead, BrokenFilesComeBackAsMessages) {
  const Bytes good = EncodeJpeg(32, 32, JCS_RGB, 3, [](int x, int y, int k) { return x * y + k; });
  {
    test::ScopedMessages messages;
    EXPECT_EQ(Read(Bytes{0xFF, 0xD8, 0xFF}).status, 0);
    EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kJpegDecompressError});
  }
  {
    test::ScopedMessages messages;
    EXPECT_EQ(Read(Bytes{'n', 'o', 't', ' ', 'j', 'p', 'e', 'g'}).status, 0);
    EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kJpegDecompressError});
  }
  {
    // A frame header claiming 65500 x 65500 is refused before anything that size exists.
    Bytes huge = good;
    for (size_t i = 0; i + 8 < huge.size(); ++i)
      if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
        huge[i + 5] = huge[i + 7] = 0xFF;
        huge[i + 6] = huge[i + 8] = 0xDC;
        break;
      }
    test::ScopedMessages messages;
    EXPECT_EQ(Read(huge).status, 0);
    ASSERT_EQ(messages.sink.texts().size(), 1u);  // the picture limit, with the numbers
    EXPECT_NE(messages.sink.texts()[0].find("65500 x 65500"), std::string::npos) << messages.sink.texts()[0];
  }
  // Cuts and scrambles: a message or a picture, never an exit.
  uint32_t seed = 99;
  for (int round = 0; round < 300; ++round) {
    Bytes b = good;
    seed = seed * 1103515245 + 12345;
    if (round % 2) {
      b.resize(2 + (seed >> 8) % (good.size() - 2));
    } else {
      for (int k = 0; k < 4; ++k) {
        seed = seed * 1103515245 + 12345;
        b[(seed >> 8) % b.size()] = static_cast<uint8_t>(seed >> 24);
      }
    }
    test::ScopedMessages messages;
    LoadResult r = Read(b);
    if (r.status == 0) {
      EXPECT_EQ(messages.ids().size(), 1u);
    }
  }
}

// Stray bytes before a marker are only a warning to libjpeg: the picture loads as libjpeg
// decodes it, without a message. A file cut short keeps the rows decoded before the end (the
// rest grey) and says so.
TEST(JpegRead, WarningsDoNotFailAndACutFileKeepsItsRows) {
  const int w = 32, h = 64;
  for (const bool progressive : {false, true}) {
    SCOPED_TRACE(progressive ? "progressive" : "baseline");
    Bytes good = EncodeJpeg(w, h, JCS_RGB, 3, [](int x, int y, int k) { return (x * 7 + y * 3 + k * 50) & 255; });
    if (progressive) {
      std::string out;
      test::TempDir dir;
      test::WriteBytes(dir.file("b.jpg"), good);
      if (!test::RunCapture({"convert", dir.file("b.jpg"), "-interlace", "JPEG", dir.file("p.jpg")}, out)) continue;
      good = test::ReadBytes(dir.file("p.jpg"));
    }
    const Decoded reference = DecodeJpeg(good);
    ASSERT_EQ(reference.height, h);
    {
      Bytes stray = good;
      for (size_t i = 2; i + 1 < stray.size(); ++i)
        if (stray[i] == 0xFF && stray[i + 1] == 0xDA) {
          stray.insert(stray.begin() + static_cast<std::ptrdiff_t>(i), {0x12, 0x34});
          break;
        }
      ASSERT_EQ(DecodeJpeg(stray).rgb, reference.rgb);
      test::ScopedMessages messages;
      LoadResult r = Read(stray);
      ASSERT_EQ(r.status, 1);
      EXPECT_TRUE(messages.ids().empty());
      const uint8_t* p = TrueColourRows(*FirstImage(r.document.get()));
      EXPECT_EQ(p[2], reference.rgb[0]);
    }
    {
      const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(good.size() * 2 / 3));
      const Decoded peer = DecodeJpeg(cut);  // libjpeg's own reading of the same bytes
      ASSERT_EQ(peer.height, h);
      test::ScopedMessages messages;
      LoadResult r = Read(cut);
      ASSERT_EQ(r.status, 2);
      EXPECT_EQ(messages.sink.texts().size(), 1u);
      const uint8_t* plane = TrueColourRows(*FirstImage(r.document.get()));
      int worst = 0;
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
          for (int k = 0; k < 3; ++k)
            worst = std::max(worst, std::abs(int{plane[Stride24(w) * size_t(y) + 3 * size_t(x) + size_t(2 - k)]} -
                                             int{peer.rgb[(size_t(y) * w + size_t(x)) * 3 + size_t(k)]}));
      EXPECT_EQ(worst, 0);
      if (!progressive) {
        // The top rows are the picture, the last row is grey.
        EXPECT_EQ(plane[2], reference.rgb[0]);
        const uint8_t* last = plane + Stride24(w) * size_t(h - 1);
        EXPECT_EQ(last[0], 128);
        EXPECT_EQ(last[1], 128);
      }
    }
  }
}

TEST(JpegWrite, LibjpegDecodesWhatWeWrite) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = CreateBlankAnimation(20, 12);
  ImageBlock& f = *FirstImage(doc.get());
  uint8_t* c = AddTrueColour(f, true);
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      uint8_t* p = c + Stride24(20) * static_cast<size_t>(y) + 3 * static_cast<size_t>(x);
      p[0] = 30;                  // blue
      p[1] = uint8_t(10 * x);     // green
      p[2] = uint8_t(200 - 8 * y);  // red
    }
  ASSERT_EQ(WriteJpegFile(dir.file("out.jpg"), f), 1);
  const Decoded d = DecodeJpeg(test::ReadBytes(dir.file("out.jpg")));
  ASSERT_EQ(d.width, 20);
  ASSERT_EQ(d.height, 12);
  int worst = 0;
  for (int y = 0; y < 12; ++y)
    for (int x = 0; x < 20; ++x) {
      const uint8_t* p = &d.rgb[static_cast<size_t>(y * 20 + x) * 3];
      worst = std::max({worst, std::abs(p[0] - (200 - 8 * y)), std::abs(p[1] - 10 * x), std::abs(p[2] - 30)});
    }
  EXPECT_LE(worst, 12);

  // Quality: unset level gives 75, level 11 gives 100, as the quantisation tables show.
  const auto tableFor = [](int quality) {
    return DecodeJpeg(EncodeJpeg(8, 8, JCS_RGB, 3, [](int, int, int) { return 0; }, quality)).lumaTable;
  };
  EXPECT_EQ(JpegQuality(), 75);
  EXPECT_EQ(d.lumaTable, tableFor(75));
  Prefs().write(pref::kSaveAsMemory, 11u << 8 | 1);
  EXPECT_EQ(JpegQuality(), 100);
  ASSERT_EQ(WriteJpegFile(dir.file("best.jpg"), f), 1);
  EXPECT_EQ(DecodeJpeg(test::ReadBytes(dir.file("best.jpg"))).lumaTable, tableFor(100));
  Prefs().write(pref::kSaveAsMemory, 1u << 8 | 1);
  EXPECT_EQ(JpegQuality(), 50);
}

TEST(JpegWrite, NeedsTrueColourAndAWritableFile) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(4, 4, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 4, 4, [](int, int) { return 1; });
  EXPECT_EQ(WriteJpegFile("/tmp/never-written.jpg", f), 0);
  EXPECT_EQ(messages.sink.texts(), std::vector<std::string>{"no 24 bit data here"});
  ExpandToTrueColour(f);
  messages.sink.clear();
  EXPECT_EQ(WriteJpegFile("/nonexistent-dir/x.jpg", f), 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kCannotSaveTemp});
}

}  // namespace
}  // namespace fw
