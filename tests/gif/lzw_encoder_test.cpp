// The encoder's shortcut through long runs of one index must give exactly the codes of plain
// greedy LZW, whatever the shape of the picture: checked against a textbook encoder.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <tuple>
#include <utility>
#include <vector>

#include "core/indexed_image.h"
#include "gif/byte_sink.h"
#include "gif/lzw_encoder.h"
#include "gif_bytes.h"

namespace fw {
namespace {

using test::Bytes;
using test::Code;

// Greedy LZW with a map for the table: the stream every GIF encoder of the classic kind
// writes (clear first, a clear instead of the 4097th entry, end code last); or, without
// `clearWhenFull`, going on with the full table to the end.
Bytes ReferenceLzw(const std::vector<uint8_t>& pixels, int minCodeSize, bool clearWhenFull = true) {
  const int clear = 1 << minCodeSize, end = clear + 1;
  std::map<std::pair<int, int>, int> table;
  int width = minCodeSize + 1, next = clear + 2;
  std::vector<Code> codes;
  auto emit = [&](int code) {
    codes.push_back({code, width});
    if (next > (1 << width) - 1 && width < 12) ++width;
  };
  codes.push_back({clear, width});
  int prefix = pixels[0];
  for (size_t i = 1; i < pixels.size(); ++i) {
    const int c = pixels[i];
    if (auto it = table.find({prefix, c}); it != table.end()) {
      prefix = it->second;
      continue;
    }
    emit(prefix);
    if (next < 4096) {
      table[{prefix, c}] = next++;
    } else if (clearWhenFull) {
      codes.push_back({clear, width});
      table.clear();
      next = clear + 2;
      width = minCodeSize + 1;
    }
    prefix = c;
  }
  emit(prefix);
  codes.push_back({end, width});
  return test::SubBlocks(test::PackCodes(codes), 254, false);
}

// The choosing encoder's decisions spelled out plainly (rows in order, table cleared when
// full): a pixel takes its other value when only that extends the string, or when the strings
// the table can follow from there reach further, each search taking at most 96 table steps
// (branch points included).
// Returns the pixels chosen.
std::vector<uint8_t> ReferenceChoice(std::vector<uint8_t> row, const std::vector<uint8_t>& other, int width,
                                     int minCodeSize) {
  const int clear = 1 << minCodeSize;
  std::map<std::pair<int, int>, int> table;
  int next = clear + 2;
  const auto child = [&](int code, int v) {
    const auto it = table.find({code, v});
    return it == table.end() ? 0 : it->second;
  };
  const std::function<int(int, size_t, size_t, int&)> reach = [&](int code, size_t at, size_t end, int& budget) {
    int length = 0;
    for (; at < end && budget > 0; ++at, --budget) {
      const int own = child(code, row[at]), alternative = other[at] != row[at] ? child(code, other[at]) : 0;
      if (own && alternative) {
        --budget;
        const int viaOwn = reach(own, at + 1, end, budget);
        return length + 1 + std::max(viaOwn, reach(alternative, at + 1, end, budget));
      }
      if (!own && !alternative) break;
      code = own ? own : alternative;
      ++length;
    }
    return length;
  };
  const auto further = [&](int code, int otherCode, size_t at, size_t end) {
    int a = 96, b = 96;
    return reach(otherCode, at, end, b) > reach(code, at, end, a);
  };
  int prefix = row[0];
  for (size_t i = 1; i < row.size(); ++i) {
    const size_t end = (i / static_cast<size_t>(width) + 1) * static_cast<size_t>(width);
    const int c = row[i], o = other[i];
    int code = child(prefix, c);
    if (o != c) {
      const int longer = child(prefix, o);
      if (longer && (!code || further(code, longer, i + 1, end))) {
        row[i] = static_cast<uint8_t>(o);
        code = longer;
      }
    }
    if (code) {
      prefix = code;
      continue;
    }
    int start = c;
    if (o != c && i + 1 < end) {
      const auto extends = [&](int v) { return child(v, row[i + 1]) || child(v, other[i + 1]); };
      if (extends(o) && (!extends(c) || further(c, o, i + 1, end))) {
        row[i] = static_cast<uint8_t>(o);
        start = o;
      }
    }
    if (next < 4096) {
      table[{prefix, start}] = next++;
    } else {
      table.clear();
      next = clear + 2;
    }
    prefix = start;
  }
  return row;
}

IndexedImage ImageOf(const std::vector<uint8_t>& pixels, int width) {
  IndexedImage image;
  image.width = width;
  image.height = static_cast<int>(pixels.size()) / width;
  image.pixels.resize(image.stride() * static_cast<size_t>(image.height), 0);
  for (int y = 0; y < image.height; ++y)
    std::copy_n(pixels.begin() + static_cast<std::ptrdiff_t>(y) * width, width, image.row(y));
  return image;
}

Bytes Encode(const std::vector<uint8_t>& pixels, int width, int minCodeSize, int clearRule = 0) {
  const IndexedImage image = ImageOf(pixels, width);
  MemorySink sink;
  EXPECT_TRUE(ThreadLzwEncoder().encode(sink, image, image.width, image.height, false, minCodeSize, clearRule));
  return sink.bytes;
}

TEST(LzwEncoding, LongRunsGiveTheCodesOfPlainLzwInEveryShape) {
  // Runs far longer than the table can name (one index over 40,000 pixels fills the table
  // several times), mixed with short runs and noise, so the shortcut starts mid-run, at row
  // ends and right after table resets.
  std::mt19937 random(7);
  std::vector<uint8_t> pixels;
  for (int part = 0; part < 40; ++part) {
    const int run = part % 5 == 0 ? 20000 + static_cast<int>(random() % 30000) : static_cast<int>(random() % 300);
    const uint8_t index = static_cast<uint8_t>(random() % 4);
    pixels.insert(pixels.end(), static_cast<size_t>(run), index);
    for (int k = static_cast<int>(random() % 20); k > 0; --k) pixels.push_back(static_cast<uint8_t>(random() % 4));
  }
  pixels.resize(pixels.size() / 64 * 64);
  const Bytes expected = ReferenceLzw(pixels, 2);
  for (const int width : {static_cast<int>(pixels.size()), static_cast<int>(pixels.size()) / 2, 64 * 37, 64}) {
    if (pixels.size() % static_cast<size_t>(width) != 0) continue;
    EXPECT_EQ(Encode(pixels, width, 2), expected) << width;
  }
  // The runs one encoding learned are never taken for the next one's, whose table has other
  // codes for them.
  std::vector<uint8_t> turned(pixels);
  for (uint8_t& p : turned) p = static_cast<uint8_t>((p + 1) & 3);
  EXPECT_EQ(Encode(turned, 64, 2), ReferenceLzw(turned, 2));
  EXPECT_EQ(Encode(pixels, 64, 2), expected);
}

TEST(LzwEncoding, OneIndexAcrossAVeryWideRowMatchesPlainLzw) {
  const std::vector<uint8_t> pixels(3 << 20, 5);
  EXPECT_EQ(Encode(pixels, static_cast<int>(pixels.size()), 8), ReferenceLzw(pixels, 8));
}

std::vector<uint8_t> Noise(size_t count, int lowest, int colours, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> out(count);
  for (uint8_t& p : out) p = static_cast<uint8_t>(lowest + static_cast<int>(random() % static_cast<uint32_t>(colours)));
  return out;
}

Bytes Unblocked(const Bytes& subBlocks) {
  Bytes out;
  for (size_t at = 0; at < subBlocks.size(); at += 1 + subBlocks[at])
    out.insert(out.end(), subBlocks.begin() + std::ptrdiff_t(at) + 1,
               subBlocks.begin() + std::ptrdiff_t(at) + 1 + subBlocks[at]);
  return out;
}

// The rule that keeps a full table as long as it codes no worse than the fresh one did.
constexpr int kKeepWhilePaying = kLzwClearRules - 1;

// Noise fills the table; the same noise over and over is then coded better by the full table
// than the fresh one coded it, so that rule never clears: its stream is exactly greedy LZW
// going on with the full table, over a frame long enough to stay full for most of its length,
// in any row shape.
TEST(LzwEncoding, AFullTableThatStillCompressesIsKeptToTheEnd) {
  // Shorter than the table takes to fill, so that the full table has seen all of it.
  const std::vector<uint8_t> noise = Noise(3000, 0, 256, 3);
  std::vector<uint8_t> pixels;
  for (int k = 0; k < 48; ++k) pixels.insert(pixels.end(), noise.begin(), noise.end());
  const Bytes expected = ReferenceLzw(pixels, 8, false);
  for (const int width : {3000, 400, 144000}) EXPECT_EQ(Encode(pixels, width, 8, kKeepWhilePaying), expected) << width;
  const test::CodeStats stats = test::ScanCodes(Unblocked(expected), 8);
  EXPECT_EQ(stats.clears, 1);
  EXPECT_EQ(stats.maxWidth, 12);
  EXPECT_TRUE(stats.endCodeSeen);
  EXPECT_FALSE(stats.overran);
  EXPECT_LT(expected.size(), ReferenceLzw(pixels, 8).size());
}

// Colours the full table has never seen cost a whole code each: the guarded rules clear, and
// come out smaller than never clearing.
TEST(LzwEncoding, AFullTableIsClearedWhenItStopsPaying) {
  std::vector<uint8_t> pixels = Noise(8000, 0, 16, 5);
  const std::vector<uint8_t> other = Noise(60000, 16, 16, 6);
  pixels.insert(pixels.end(), other.begin(), other.end());
  const size_t neverCleared = ReferenceLzw(pixels, 8, false).size();
  for (int rule = 1; rule < kLzwClearRules; ++rule) {
    const Bytes kept = Encode(pixels, 1000, 8, rule);
    const test::CodeStats stats = test::ScanCodes(Unblocked(kept), 8);
    EXPECT_GE(stats.fullTableClears, 1) << rule;
    EXPECT_FALSE(stats.overran) << rule;
    EXPECT_TRUE(stats.endCodeSeen) << rule;
    EXPECT_LT(kept.size(), neverCleared) << rule;
  }
}

// Frames whose table never fills come out the same under every rule; unknown rules are the
// plain one.
TEST(LzwEncoding, ClearRulesChangeNothingBeforeTheTableFills) {
  const std::vector<uint8_t> pixels = Noise(3000, 0, 256, 9);
  for (int rule = 0; rule < kLzwClearRules; ++rule) EXPECT_EQ(Encode(pixels, 100, 8, rule), ReferenceLzw(pixels, 8));
  const std::vector<uint8_t> filling = Noise(20000, 0, 256, 10);
  EXPECT_EQ(Encode(filling, 100, 8, kLzwClearRules), ReferenceLzw(filling, 8));
  EXPECT_EQ(Encode(filling, 100, 8, -1), ReferenceLzw(filling, 8));
}

// Measuring the rules from the point where the table first fills gives each rule's stream as a
// whole encode writes it, byte for byte, in any order and as often as asked, also bounded, on
// pictures that fill the table many times (noise that then repeats, colours never seen, long
// runs) in any shape.
TEST(LzwEncoding, RulesMeasuredFromTheFirstFillWriteWhatTheirStreamsHold) {
  std::vector<uint8_t> pixels = Noise(6000, 0, 64, 21);
  for (int k = 0; k < 6; ++k) pixels.insert(pixels.end(), pixels.begin(), pixels.begin() + 6000);
  const std::vector<uint8_t> unseen = Noise(30000, 64, 128, 22);
  pixels.insert(pixels.end(), unseen.begin(), unseen.end());
  for (int k = 0; k < 300; ++k) pixels.insert(pixels.end(), 40 + k % 200, static_cast<uint8_t>(k % 7));
  pixels.resize(pixels.size() / 600 * 600);
  LzwEncoder& encoder = ThreadLzwEncoder();
  for (const int width : {600, 1200, static_cast<int>(pixels.size())}) {
    for (const bool interlaced : {false, true}) {
      SCOPED_TRACE(testing::Message() << width << (interlaced ? " interlaced" : ""));
      const IndexedImage image = ImageOf(pixels, width);
      std::vector<uint8_t> whole[kLzwClearRules];
      for (int rule = 0; rule < kLzwClearRules; ++rule) {
        MemorySink sink;
        ASSERT_TRUE(encoder.encode(sink, image, width, image.height, interlaced, 8, rule));
        whole[rule] = sink.bytes;
      }
      MemorySink shared;
      ASSERT_EQ(encoder.measureToFill(shared, image, width, image.height, interlaced, 8), 0);
      for (const int rule : {5, 0, 3, 1, 4, 2, 0, 5}) {
        const auto size = static_cast<int64_t>(whole[rule].size());
        MemorySink rest, bounded, cut;
        EXPECT_EQ(encoder.measureRuleFromFill(rest, rule), size) << rule;
        std::vector<uint8_t> stream = shared.bytes;
        stream.insert(stream.end(), rest.bytes.begin(), rest.bytes.end());
        EXPECT_EQ(stream, whole[rule]) << rule;
        EXPECT_EQ(encoder.measureRuleFromFill(bounded, rule, size + 1), size) << rule;
        EXPECT_EQ(bounded.bytes, rest.bytes) << rule;
        EXPECT_EQ(encoder.measureRuleFromFill(cut, rule, size / 2), -1) << rule;
        EXPECT_TRUE(encoder.gaveUp());
      }
    }
  }
  // A table that never fills: the whole stream at once, the same for every rule.
  const IndexedImage small = ImageOf(Noise(3000, 0, 256, 23), 100);
  MemorySink sink, measured;
  ASSERT_TRUE(encoder.encode(sink, small, 100, small.height, false, 8));
  EXPECT_EQ(encoder.measureToFill(measured, small, 100, small.height, false, 8), sink.total());
  EXPECT_EQ(measured.bytes, sink.bytes);
}

// The encoder remembers what its look-ahead found while the table and the row stay as they
// are; where no search runs out of budget its choices must stay exactly those of the plain
// search, on pictures of few and many colours with most or some pixels free to choose.
// Holes of one pixel, and holes as long as a run the encoder skips in one step.
TEST(LzwEncoding, ChoicesAreThoseOfThePlainSearch) {
  for (const auto& [colours, period, freeOfTen, holeLength] :
       {std::tuple{4, 23, 8, 1}, std::tuple{200, 97, 4, 1}, std::tuple{4, 23, 6, 13}, std::tuple{200, 97, 5, 29}}) {
    const std::vector<uint8_t> tile = Noise(static_cast<size_t>(period), 0, colours, 11);
    const std::vector<uint8_t> holes = Noise(20000, 0, 10, 12);
    std::vector<uint8_t> picture(20000), blanked(20000);
    for (size_t i = 0; i < picture.size(); ++i) {
      picture[i] = tile[(i * 7 / 5) % tile.size()];
      blanked[i] = holes[i / static_cast<size_t>(holeLength)] < freeOfTen ? uint8_t{255} : picture[i];
    }
    for (const int width : {100, 20000}) {
      SCOPED_TRACE(testing::Message() << colours << " colours, width " << width);
      IndexedImage chosen = ImageOf(blanked, width);
      CountingSink sink;
      ASSERT_TRUE(ThreadLzwEncoder().encodeChoosing(sink, chosen, ImageOf(picture, width), width, chosen.height,
                                                    false, 8));
      EXPECT_TRUE(chosen.pixels == ImageOf(ReferenceChoice(blanked, picture, width, 8), width).pixels);
    }
  }
}

// Two colours in noise, three pixels in four free to take the other one: every string
// branches at once, so each search runs out of budget, and what such a search found is reused
// for the pixels after it. That may only cost what a fresh search at every pixel would have
// saved, and the stream stays the plain one of the pixels chosen.
TEST(LzwEncoding, SearchesCutShortChooseAboutAsWellAsFreshOnes) {
  const std::vector<uint8_t> picture = Noise(20000, 0, 2, 31), coin = Noise(20000, 0, 4, 32);
  std::vector<uint8_t> other(picture);
  for (size_t i = 0; i < other.size(); ++i)
    if (coin[i]) other[i] ^= 1;
  for (const int width : {400, 20000}) {
    SCOPED_TRACE(width);
    IndexedImage chosen = ImageOf(picture, width);
    MemorySink choosing, plain;
    ASSERT_TRUE(ThreadLzwEncoder().encodeChoosing(choosing, chosen, ImageOf(other, width), width, chosen.height,
                                                  false, 2));
    ASSERT_TRUE(ThreadLzwEncoder().encode(plain, chosen, width, chosen.height, false, 2));
    EXPECT_EQ(choosing.bytes, plain.bytes);
    for (size_t i = 0; i < picture.size(); ++i)
      ASSERT_TRUE(chosen.pixels[i] == picture[i] || chosen.pixels[i] == other[i]) << i;
    const size_t fresh = Encode(ReferenceChoice(picture, other, width, 2), width, 2).size();
    EXPECT_LE(choosing.bytes.size(), fresh + fresh / 100);
    EXPECT_LT(choosing.bytes.size(), Encode(picture, width, 2).size() * 3 / 4);
  }
}

// Pixels that may each take one of two values: a repeating picture with a good part of it
// turned into one index, the picture's own value being the other choice. Whatever the encoder
// picks, the stream is exactly plain LZW (with the same clear rule) of the pixels it wrote
// back, so the writer, measuring and any decoder agree; and choosing codes the picture smaller
// than either plane alone would.
TEST(LzwEncoding, ChoosingPixelsWritesThePlainStreamOfThePixelsChosen) {
  const std::vector<uint8_t> tile = Noise(97, 0, 200, 11);
  const std::vector<uint8_t> holes = Noise(40000, 0, 10, 12);
  std::vector<uint8_t> picture(40000), blanked(40000);
  for (size_t i = 0; i < picture.size(); ++i) {
    picture[i] = tile[(i * 7 / 5) % tile.size()];
    blanked[i] = holes[i] < 4 ? uint8_t{255} : picture[i];
  }
  for (const int width : {200, 331, 40000}) {
    for (const bool interlaced : {false, true}) {
      for (const int rule : {0, 2}) {
        SCOPED_TRACE(testing::Message() << width << (interlaced ? " interlaced" : "") << " rule " << rule);
        IndexedImage chosen = ImageOf(blanked, width);
        const IndexedImage first = chosen, other = ImageOf(picture, width);
        MemorySink choosing, plain, asGiven;
        ASSERT_TRUE(
            ThreadLzwEncoder().encodeChoosing(choosing, chosen, other, width, chosen.height, interlaced, 8, rule));
        ASSERT_TRUE(ThreadLzwEncoder().encode(plain, chosen, width, chosen.height, interlaced, 8, rule));
        EXPECT_EQ(choosing.bytes, plain.bytes);
        ASSERT_TRUE(ThreadLzwEncoder().encode(asGiven, first, width, first.height, interlaced, 8, rule));
        EXPECT_LT(choosing.bytes.size(), asGiven.bytes.size() * 9 / 10);
        size_t tookOther = 0;
        for (size_t i = 0; i < chosen.pixels.size(); ++i) {
          ASSERT_TRUE(chosen.pixels[i] == first.pixels[i] || chosen.pixels[i] == other.pixels[i]) << i;
          tookOther += chosen.pixels[i] != first.pixels[i];
        }
        EXPECT_GT(tookOther, 0u);
        if (!interlaced && rule == 0) {
          std::vector<uint8_t> flat;
          for (int y = 0; y < chosen.height; ++y) flat.insert(flat.end(), chosen.row(y), chosen.row(y) + width);
          EXPECT_EQ(choosing.bytes, ReferenceLzw(flat, 8));
        }
      }
    }
  }
  // Alternatives smaller than the image are refused rather than read past.
  IndexedImage image = ImageOf(picture, 200), small = ImageOf(std::vector<uint8_t>(400, 1), 200);
  MemorySink sink;
  EXPECT_FALSE(ThreadLzwEncoder().encodeChoosing(sink, image, small, 200, image.height, false, 8));
}

}  // namespace
}  // namespace fw

namespace fw {
namespace {

// A sink whose storage runs out part way, the way a full disk or memory does under a writer
// that throws.
class ThrowingSink : public ByteSink {
 protected:
  bool store(const void*, size_t n) override {
    stored_ += n;
    if (stored_ > 300) throw std::runtime_error("no room");
    return true;
  }

 private:
  size_t stored_ = 0;
};

TEST(LzwEncoding, AnEncodeCutShortByAnExceptionLeavesNothingForTheNext) {
  const std::vector<uint8_t> pixels = Noise(20000, 0, 256, 5);
  const IndexedImage image = ImageOf(pixels, 200);
  ThrowingSink failing;
  EXPECT_THROW(ThreadLzwEncoder().encode(failing, image, 200, 100, false, 8), std::runtime_error);
  // Encoders go on to serve the thread, or other threads once this one ends.
  EXPECT_EQ(Encode(pixels, 200, 8), ReferenceLzw(pixels, 8));
}

}  // namespace
}  // namespace fw
