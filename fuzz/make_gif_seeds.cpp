// Writes the seed corpus of gif_reader_fuzz: small GIFs, most written by our own writer, that
// between them reach every kind of block and the decoder's special cases, plus a few damaged
// ones so the fuzzer starts next to the error paths too. Each stays well under 2 KB.
//
//   make_gif_seeds <directory>
#include <cstdio>
#include <string>
#include <vector>

#include "core/anim_document.h"
#include "core/palette.h"
#include "gif/byte_sink.h"
#include "gif/gif_writer.h"
#include "samples/sample_drawings.h"

namespace {

using Bytes = std::vector<uint8_t>;

std::unique_ptr<fw::Palette> Ramp(int count) {
  std::vector<fw::Rgb> entries(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i)
    entries[static_cast<size_t>(i)] = {static_cast<uint8_t>(i * 255 / (count > 1 ? count - 1 : 1)),
                                       static_cast<uint8_t>(i * 37), static_cast<uint8_t>(255 - i)};
  return fw::Palette::Create(entries.data(), count);
}

fw::AnimPtr Document(int width, int height, int colours, int playCount) {
  fw::AnimPtr doc = fw::CreateAnimation();
  doc->screenWidth = width;
  doc->screenHeight = height;
  doc->playCount = playCount;
  if (colours) fw::SetGlobalPalette(*doc, Ramp(colours));
  return doc;
}

template <typename F>
fw::ImageBlock& Frame(fw::AnimHeader& doc, int left, int top, int width, int height, F pixel) {
  fw::ImageBlock& f = fw::samples::AddFrame(doc, left, top, width, height, 10);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) f.indexedImage->row(y)[x] = static_cast<uint8_t>(pixel(x, y));
  return f;
}

Bytes Write(fw::AnimHeader& doc) {
  fw::MemorySink sink;
  if (fw::WriteGifStream(sink, doc, nullptr) != 1) return {};
  return sink.bytes;
}

bool Save(const std::string& dir, const char* name, const Bytes& bytes) {
  if (bytes.empty() || bytes.size() >= 2048) {
    std::fprintf(stderr, "make_gif_seeds: %s is %zu bytes\n", name, bytes.size());
    return false;
  }
  const std::string path = dir + "/" + name;
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_gif_seeds <directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  bool ok = true;

  // Frames at offsets over a transparent background, disposal to background, looping.
  {
    fw::AnimPtr doc = Document(40, 30, 4, 0);
    for (int i = 0; i < 3; ++i) {
      fw::ImageBlock& f = Frame(*doc, 4 + 9 * i, 3 + 5 * i, 12, 12, [](int x, int y) {
        const int dx = x - 6, dy = y - 6;
        return dx * dx + dy * dy > 30 ? 0 : (dx + dy < -3 ? 3 : 1);
      });
      fw::SetTransparency(f, true);
      fw::SetTransparentIndex(f, 0);
      fw::SetDisposal(f, fw::kDisposalBackground);
    }
    ok &= Save(dir, "ball-offsets-loop.gif", Write(*doc));
  }
  // An interlaced frame whose height is not a multiple of eight, width not a multiple of four.
  {
    fw::AnimPtr doc = Document(23, 13, 16, 1);
    fw::ImageBlock& f = Frame(*doc, 0, 0, 23, 13, [](int x, int y) { return (x * 3 + y * 5) & 15; });
    fw::SetInterlaced(f, true);
    ok &= Save(dir, "interlaced-odd-size.gif", Write(*doc));
  }
  // A frame with its own palette, a comment between frames, no global palette at all.
  {
    fw::AnimPtr doc = Document(16, 16, 0, 3);
    fw::ImageBlock& a = Frame(*doc, 0, 0, 16, 16, [](int x, int y) { return (x / 4 + y / 4) & 1; });
    fw::SetLocalPalette(a, Ramp(2));
    auto comment = fw::CreateExtensionBlock(fw::block_kind::kComment);
    fw::SetCommentText(*comment, "seed comment");
    fw::AppendBlock(*doc, std::move(comment));
    fw::ImageBlock& b = Frame(*doc, 2, 2, 9, 7, [](int x, int y) { return (x + y) % 8; });
    fw::SetLocalPalette(b, Ramp(8));
    ok &= Save(dir, "local-palettes-comment.gif", Write(*doc));
  }
  // Long runs and a repeating texture: long strings, KwKwK codes, a table that fills up and
  // is cleared (a 2-colour frame reaches 4096 codes quickly).
  {
    fw::AnimPtr doc = Document(64, 64, 2, 1);
    Frame(*doc, 0, 0, 64, 64, [](int x, int y) { return ((x * x + y * 7) / 5 + (x ^ y)) % 3 == 0; });
    ok &= Save(dir, "two-colours-texture.gif", Write(*doc));
  }
  {
    fw::AnimPtr doc = Document(200, 6, 256, 1);
    Frame(*doc, 0, 0, 200, 6, [](int x, int y) { return x < 150 ? 7 : (y * 40 + x) & 255; });
    ok &= Save(dir, "long-runs-256.gif", Write(*doc));
  }
  // Indexes beyond a small palette (the writer widens the code size), and a frame of width 0.
  {
    fw::AnimPtr doc = Document(8, 8, 2, 1);
    Frame(*doc, 0, 0, 8, 8, [](int x, int y) { return (x * 8 + y) & 31; });
    fw::ImageBlock& empty = fw::samples::AddFrame(*doc, 1, 1, 1, 1, 0);
    empty.width = 0;
    ok &= Save(dir, "indexes-beyond-palette.gif", Write(*doc));
  }
  // An application block that is not the loop block, and a plain text block.
  {
    fw::AnimPtr doc = Document(10, 10, 4, 1);
    auto app = fw::CreateExtensionBlock(fw::block_kind::kApplication);
    app->data = {11, 'F', 'R', 'A', 'M', 'E', 'W', 'R', 'I', 'G', 'H', 'T', 3, 1, 2, 3, 0};
    fw::AppendBlock(*doc, std::move(app));
    auto text = fw::CreateExtensionBlock(fw::block_kind::kPlainText);
    text->data = {12, 0, 0, 0, 0, 10, 0, 10, 0, 8, 8, 1, 0, 5, 'h', 'e', 'l', 'l', 'o', 0};
    fw::AppendBlock(*doc, std::move(text));
    Frame(*doc, 0, 0, 10, 10, [](int x, int y) { return (x + y) & 3; });
    ok &= Save(dir, "application-and-text.gif", Write(*doc));
  }
  // Damaged: data cut short inside the second frame (partly read), and a trailer missing.
  {
    fw::AnimPtr doc = Document(20, 20, 16, 1);
    Frame(*doc, 0, 0, 20, 20, [](int x, int y) { return (x * y) & 15; });
    Frame(*doc, 0, 0, 20, 20, [](int x, int y) { return (x + 2 * y) & 15; });
    Bytes bytes = Write(*doc);
    bytes.resize(bytes.size() - 25);
    ok &= Save(dir, "cut-in-second-frame.gif", bytes);
  }
  // Hand-built: a 3x2 frame whose data holds an end code after four pixels (the rest stays
  // blank), then a GIF87a-style stream with neither graphic control block nor trailer.
  {
    const Bytes early = {'G', 'I', 'F', '8', '9', 'a', 3, 0, 2, 0, 0x80, 0, 0,
                         0, 0, 0, 255, 255, 255,
                         ',', 0, 0, 0, 0, 3, 0, 2, 0, 0,
                         // clear, 1, 1, 0 in three bits, then 1 and the end code in four
                         2, 3, 0x4C, 0x10, 0x05, 0, ';'};
    ok &= Save(dir, "ends-early.gif", early);
    const Bytes bare = {'G', 'I', 'F', '8', '7', 'a', 2, 0, 2, 0, 0, 0, 0,
                        ',', 0, 0, 0, 0, 2, 0, 2, 0, 0x80, 10, 20, 30, 40, 50, 60,
                        2, 3, 0x44, 0x02, 0x05, 0};
    ok &= Save(dir, "no-trailer-local-table.gif", bare);
  }
  return ok ? 0 : 1;
}
