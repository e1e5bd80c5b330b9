// The save step by type and style, the signature comment and the size that counts it, and
// loading through the dispatcher (true-colour files arrive on a palette).
#include <gtest/gtest.h>

#include <filesystem>

#include "core/frame_planes.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "formats/apng_chunks.h"
#include "formats/bmp_file.h"
#include "formats/file_dispatch.h"
#include "formats/filmstrip.h"
#include "formats/format_messages.h"
#include "formats/format_peers.h"
#include "formats/jpeg_file.h"
#include "formats/png_file.h"
#include "formats/save_document.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

AnimPtr TenFrames() {
  AnimPtr doc = test::NewDocument(8, 6, 16);
  for (int k = 0; k < 10; ++k) test::AddFrame(*doc, 0, 0, 8, 6, [k](int x, int y) { return (x + y + k) % 16; }).delay = k + 1;
  return doc;
}

std::vector<std::string> Comments(const AnimHeader& doc) {
  std::vector<std::string> out;
  for (const GifBlock* b = doc.blockList->next; b; b = b->next)
    if (IsComment(*b)) out.push_back(CommentText(*b));
  return out;
}

std::vector<std::string> DirectoryNames(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<uint32_t> ChunkTypes(const std::string& path) {
  const Bytes file = test::ReadBytes(path);
  bool truncated = false;
  std::vector<uint32_t> types;
  for (const PngChunk& c : WalkPngChunks(file.data(), file.size(), truncated)) types.push_back(c.type);
  return types;
}

TEST(SaveGif, SignatureCommentLeadsAndTheMeasuredSizeMatchesTheFile) {
  test::ScopedMessages messages;
  test::TempDir dir;
  MemoryPreferenceStore store;
  Prefs().load(&store);
  AnimPtr doc = TenFrames();
  auto old = CreateExtensionBlock(block_kind::kComment);
  SetCommentText(*old, "Built with Framewright 3.1");
  AppendBlock(*doc, std::move(old));
  auto mine = CreateExtensionBlock(block_kind::kComment);
  SetCommentText(*mine, "my own note");
  AppendBlock(*doc, std::move(mine));

  const int32_t measured = EncodedSize(doc.get(), true, nullptr);
  ASSERT_TRUE(SaveDocumentAs(dir.file("a.gif"), *doc));
  EXPECT_EQ(static_cast<int32_t>(fs::file_size(dir.file("a.gif"))), measured);
  ReadResult back = ReadGifPath(dir.file("a.gif"));
  ASSERT_EQ(back.status, 1);
  EXPECT_EQ(Comments(*back.document), (std::vector<std::string>{"Built with Framewright 4.0", "my own note"}));
  EXPECT_EQ(back.document->blockList->next->kind, block_kind::kComment);

  // Saving again replaces, never repeats; a stored text is used instead of the default.
  store.texts["Sig"] = "Made by us";
  const int32_t again = EncodedSize(doc.get(), true, nullptr);
  ASSERT_TRUE(SaveDocumentAs(dir.file("a.gif"), *doc));
  EXPECT_EQ(static_cast<int32_t>(fs::file_size(dir.file("a.gif"))), again);
  EXPECT_EQ(Comments(*ReadGifPath(dir.file("a.gif")).document), (std::vector<std::string>{"Made by us", "my own note"}));

  // Word 6 bit 3 leaves the signature out, and takes earlier ones away too.
  Prefs().setBits(pref::kOptionFlags, pref::kNoSignature, true);
  const int32_t without = EncodedSize(doc.get(), true, nullptr);
  ASSERT_TRUE(SaveDocumentAs(dir.file("a.gif"), *doc));
  EXPECT_EQ(static_cast<int32_t>(fs::file_size(dir.file("a.gif"))), without);
  EXPECT_EQ(Comments(*ReadGifPath(dir.file("a.gif")).document), (std::vector<std::string>{"my own note"}));
  EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"a.gif"});
  Prefs().load(nullptr);
}

TEST(SaveSingleImage, BitmapAndJpegTakeTheFirstFrame) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = TenFrames();
  ASSERT_TRUE(SaveDocumentAs(dir.file("first.bmp"), *doc));
  LoadResult bmp = ReadBmpFile(dir.file("first.bmp"));
  ASSERT_EQ(bmp.status, 1);
  EXPECT_EQ(test::FramePixels(*FirstImage(bmp.document.get())), test::FramePixels(*FirstImage(doc.get())));

  ASSERT_TRUE(SaveDocumentAs(dir.file("first.JPG"), *doc));
  LoadResult jpg = ReadJpegFile(dir.file("first.JPG"));
  ASSERT_EQ(jpg.status, 1);
  EXPECT_EQ(jpg.document->screenWidth, 8);
  // The document itself stays 8-bit: the true colour was made on a copy.
  EXPECT_FALSE(FirstImage(doc.get())->hasTrueColour());
  EXPECT_EQ(DirectoryNames(dir.path()), (std::vector<std::string>{"first.JPG", "first.bmp"}));
}

TEST(SavePng, SeveralFramesMakeAnApngOneFrameAPlainPng) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = TenFrames();
  ASSERT_TRUE(SaveDocumentAs(dir.file("anim.png"), *doc));
  const std::vector<uint32_t> types = ChunkTypes(dir.file("anim.png"));
  EXPECT_EQ(std::count(types.begin(), types.end(), ChunkType("fcTL")), 10);
  LoadResult back = ReadPngFile(dir.file("anim.png"));
  ASSERT_EQ(back.status, 1);
  EXPECT_EQ(back.document->frameCount, 10);
  EXPECT_EQ(ImageAt(back.document.get(), 9)->delay, 10);

  AnimPtr one = test::NewDocument(3, 3, 4);
  test::AddFrame(*one, 0, 0, 3, 3, [](int x, int) { return x; });
  ASSERT_TRUE(SaveDocumentAs(dir.file("one.png"), *one));
  const std::vector<uint32_t> plain = ChunkTypes(dir.file("one.png"));
  EXPECT_EQ(std::count(plain.begin(), plain.end(), ChunkType("acTL")), 0);
  EXPECT_EQ(plain[1], ChunkType("PLTE"));

  // Word 15 bit 10 asks for true colour even from an 8-bit frame.
  Prefs().setBits(pref::kMoreFlags, 1u << 10, true);
  ASSERT_TRUE(SaveDocumentAs(dir.file("rgb.png"), *one));
  const Bytes rgb = test::ReadBytes(dir.file("rgb.png"));
  EXPECT_EQ(rgb[25], 2);  // IHDR colour type
}

TEST(SavePng, FailedWriteKeepsTheOldFileAndLeavesNoTemporary) {
  test::ScopedMessages messages;
  test::TempDir dir;
  test::WriteBytes(dir.file("keep.ico"), {'o', 'l', 'd'});
  AnimPtr doc = TenFrames();
  ExpandToTrueColour(*ImageAt(doc.get(), 3));
  EXPECT_FALSE(SaveDocumentAs(dir.file("keep.ico"), *doc));  // frames of one size are duplicates in an icon
  EXPECT_EQ(test::ReadBytes(dir.file("keep.ico")), (Bytes{'o', 'l', 'd'}));
  EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{"keep.ico"});
  EXPECT_EQ(messages.sink.texts().size(), 1u);

  messages.sink.clear();
  EXPECT_FALSE(SaveDocumentAs("/nonexistent-dir/a.png", *doc));
  EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kCannotSaveTemp});

  messages.sink.clear();
  EXPECT_FALSE(SaveDocumentAs(dir.file("x.ico"), *doc));
  EXPECT_FALSE(fs::exists(dir.file("x.ico")));
  EXPECT_EQ(messages.sink.texts().size(), 1u);
}

// The write step of Save and Save As refuses a document without frames for every type, by
// every style, and leaves the folder as it was.
TEST(SaveDocument, NothingToOutputWithoutFrames) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(10, 10, 4);
  for (int type = kSaveGif; type <= kSaveAni; ++type) {
    for (const uint32_t options : {save_option::kNoStyle, save_option::kAnimation, save_option::kSequence}) {
      messages.sink.clear();
      const std::string target = dir.file(std::string("empty.") + SaveTypeExtension(type));
      EXPECT_FALSE(WriteDocument(target, *doc, options, type)) << type;
      EXPECT_EQ(messages.sink.texts(), std::vector<std::string>{"Nothing to output."}) << type;
    }
  }
  EXPECT_EQ(DirectoryNames(dir.path()), std::vector<std::string>{});
}

TEST(SaveStyles, FilmstripWithLayoutNameAndFilmstripChunk) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = TenFrames();
  Prefs().setBits(pref::kMoreFlags, 1u << 9, true);
  ASSERT_TRUE(WriteDocument(dir.file("strip.png"), *doc, save_option::WithStrips(save_option::kFilmstrip, 3), kSavePng));
  ASSERT_TRUE(fs::exists(dir.file("strip (4x3).png")));
  const std::vector<uint32_t> grid = ChunkTypes(dir.file("strip (4x3).png"));
  EXPECT_EQ(std::count(grid.begin(), grid.end(), ChunkType("pAni")), 0);  // not one row: no chunk

  ASSERT_TRUE(WriteDocument(dir.file("row.png"), *doc, save_option::WithStrips(save_option::kFilmstrip, 1), kSavePng));
  LoadResult row = ReadPngFile(dir.file("row (10x1).png"));
  ASSERT_EQ(row.status, 1);
  ASSERT_EQ(row.document->frameCount, 10);
  EXPECT_EQ(ImageAt(row.document.get(), 4)->delay, 5);
  EXPECT_EQ(test::FramePixels(*ImageAt(row.document.get(), 4)), test::FramePixels(*ImageAt(doc.get(), 4)));

  // A one-image file named by its layout is split when loaded.
  LoadResult named = LoadAnimationFile(dir.file("strip (4x3).png"));
  ASSERT_EQ(named.status, 1);
  int columns = 0, rows = 0;
  ASSERT_TRUE(ParseFilmstripName(dir.file("strip (4x3).png"), columns, rows));
  ASSERT_EQ(ImportFilmstrip(*named.document, columns, rows, true), 1);
  EXPECT_EQ(named.document->frameCount, 12);
  EXPECT_EQ(test::FramePixels(*ImageAt(named.document.get(), 9)), test::FramePixels(*ImageAt(doc.get(), 9)));

  SetTransparency(*ImageAt(doc.get(), 2), true);
  messages.sink.clear();
  EXPECT_FALSE(WriteDocument(dir.file("no.bmp"), *doc, save_option::kFilmstrip, kSaveBmp));
  EXPECT_EQ(messages.ids(), std::vector<int>{fmsg::kFilmstripMixedTransparency});
}

TEST(SaveStyles, NumberedFilesWithoutTemporaryLeftovers) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = TenFrames();
  ASSERT_TRUE(WriteDocument(dir.file("f.gif"), *doc, save_option::kSequence, kSaveGif));
  const std::vector<std::string> names = DirectoryNames(dir.path());
  ASSERT_EQ(names.size(), 10u);
  EXPECT_EQ(names.front(), "f1.gif");
  EXPECT_EQ(names.back(), "f9.gif");
  ReadResult tenth = ReadGifPath(dir.file("f10.gif"));
  ASSERT_EQ(tenth.status, 1);
  EXPECT_EQ(test::FramePixels(*FirstImage(tenth.document.get())), test::FramePixels(*ImageAt(doc.get(), 9)));
}

// --- loading through the dispatcher ---

void WriteTrueColourPng(const std::string& path, int w, int h, bool alpha) {
  AnimPtr doc = CreateBlankAnimation(w, h);
  ImageBlock& f = *FirstImage(doc.get());
  uint8_t* c = AddTrueColour(f, true);
  for (size_t i = 0; i < f.trueColour.size(); ++i) c[i] = static_cast<uint8_t>(i * 7);
  if (alpha) {
    uint8_t* a = AddAlpha(f, true);
    for (int x = 0; x < w; ++x) a[x] = x % 2 ? 255 : 0;
    for (int y = 1; y < h; ++y) std::fill_n(a + static_cast<size_t>(y) * Stride8(w), w, 255);
  }
  ASSERT_EQ(WritePng(path, f, nullptr), 1);
}

TEST(LoadDispatch, TrueColourFilesArriveOnAPalette) {
  test::ScopedMessages messages;
  test::TempDir dir;
  WriteTrueColourPng(dir.file("rgba.png"), 6, 4, true);
  LoadResult png = LoadAnimationFile(dir.file("rgba.png"));
  ASSERT_EQ(png.status, 1) << testing::PrintToString(messages.ids());
  const ImageBlock& f = *FirstImage(png.document.get());
  ASSERT_TRUE(f.indexedImage);
  ASSERT_TRUE(png.document->globalPalette);
  EXPECT_FALSE(f.hasTrueColour());  // dropped unless word 6 bit 25 asks to keep it
  EXPECT_TRUE(f.transparent());
  EXPECT_EQ(f.indexedImage->row(0)[0], f.transparentIndex);
  EXPECT_NE(f.indexedImage->row(0)[1], f.transparentIndex);
  EXPECT_EQ(FrameName(f), "rgba.png");

  Prefs().setBits(pref::kOptionFlags, pref::kKeepTrueColour, true);
  LoadResult kept = LoadAnimationFile(dir.file("rgba.png"));
  ASSERT_EQ(kept.status, 1);
  EXPECT_TRUE(FirstImage(kept.document.get())->hasTrueColour());
  EXPECT_TRUE(FirstImage(kept.document.get())->indexedImage);
  Prefs().load(nullptr);

  AnimPtr src = CreateBlankAnimation(5, 5);
  AddTrueColour(*FirstImage(src.get()), true);
  ASSERT_EQ(WriteBmpFile(dir.file("black.DIB"), *FirstImage(src.get()), 0), 1);
  LoadResult dib = LoadAnimationFile(dir.file("black.DIB"));
  ASSERT_EQ(dib.status, 1);
  EXPECT_TRUE(FirstImage(dib.document.get())->indexedImage);
  ASSERT_EQ(WriteJpegFile(dir.file("black.jpe"), *FirstImage(src.get())), 1);
  EXPECT_EQ(LoadAnimationFile(dir.file("black.jpe")).status, 1);
  EXPECT_TRUE(messages.ids().empty());
}

TEST(LoadDispatch, UnknownAndMissingFiles) {
  test::ScopedMessages messages;
  test::TempDir dir;
  test::WriteBytes(dir.file("x.xyz"), {1, 2, 3});
  EXPECT_EQ(LoadAnimationFile(dir.file("x.xyz")).status, 0);
  EXPECT_EQ(LoadAnimationFile(dir.file("none.png")).status, 0);
  test::WriteBytes(dir.file("bad.png"), {1, 2, 3, 4, 5, 6, 7, 8, 9});
  EXPECT_EQ(LoadAnimationFile(dir.file("bad.png")).status, 0);
  EXPECT_EQ(messages.ids(), (std::vector<int>{msg::kCannotReadType, msg::kCannotOpenFile, fmsg::kPngDamaged}));
}

}  // namespace
}  // namespace fw
