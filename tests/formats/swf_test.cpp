// SWF export: FFmpeg's demuxer reads our bitmaps back (palette, alpha and JPEG frames); the
// header and the frame layout follow the delays, disposals and twips factor.
#include <gtest/gtest.h>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "core/frame_planes.h"
#include "core/preferences.h"
#include "formats/avi_timing.h"
#include "formats/dib.h"
#include "formats/format_peers.h"
#include "formats/swf_file.h"
#include "formats/swf_movie.h"
#include "support/test_support.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;

// What a simple reader of the tags sees.
struct SwfLayout {
  int twipsWidth = 0, twipsHeight = 0, rate = 0, frameCount = 0;
  uint32_t length = 0;
  std::vector<std::vector<int>> frames;           // tag codes per frame (ShowFrame not included)
  std::vector<std::array<int32_t, 4>> shapes;     // DefineShape3 bounds: x1, x2, y1, y2
  std::vector<std::array<int, 2>> removes, places;  // character id and depth
};

class BitReader {
 public:
  BitReader(const uint8_t* p) : p_(p) {}
  uint32_t bits(int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i, ++at_) v = v << 1 | ((p_[at_ / 8] >> (7 - at_ % 8)) & 1);
    return v;
  }
  int32_t sbits(int n) {
    const uint32_t v = bits(n);
    return n && (v >> (n - 1)) ? static_cast<int32_t>(v | ~((1u << n) - 1)) : static_cast<int32_t>(v);
  }
  size_t bytesUsed() const { return (at_ + 7) / 8; }

 private:
  const uint8_t* p_;
  size_t at_ = 0;
};

SwfLayout ParseSwf(const Bytes& b) {
  SwfLayout s;
  s.length = Le32(b.data() + 4);
  BitReader r(b.data() + 8);
  const int n = int(r.bits(5));
  r.sbits(n);
  s.twipsWidth = r.sbits(n);
  r.sbits(n);
  s.twipsHeight = r.sbits(n);
  size_t at = 8 + r.bytesUsed();
  s.rate = b[at + 1];
  s.frameCount = Le16(b.data() + at + 2);
  at += 4;
  s.frames.emplace_back();
  while (at + 2 <= b.size()) {
    const int code = Le16(b.data() + at) >> 6;
    size_t length = Le16(b.data() + at) & 63;
    at += 2;
    if (length == 63) {
      length = Le32(b.data() + at);
      at += 4;
    }
    const uint8_t* body = b.data() + at;
    if (code == 0) break;
    if (code == 1) {
      s.frames.emplace_back();
    } else {
      s.frames.back().push_back(code);
      if (code == swf::kTagDefineShape3) {
        BitReader rect(body + 2);
        const int bits = int(rect.bits(5));
        s.shapes.push_back({rect.sbits(bits), rect.sbits(bits), rect.sbits(bits), rect.sbits(bits)});
      } else if (code == swf::kTagRemoveObject) {
        s.removes.push_back({Le16(body), Le16(body + 2)});
      } else if (code == swf::kTagPlaceObject2) {
        s.places.push_back({Le16(body + 3), Le16(body + 1)});
      }
    }
    at += length;
  }
  s.frames.pop_back();  // after the last ShowFrame
  return s;
}

struct DemuxedBitmap {
  AVCodecID codec = AV_CODEC_ID_NONE;
  int format = -1, width = 0, height = 0;
  Bytes data;
  Bytes palette;  // 1024 bytes for palette images
};

// Every bitmap packet FFmpeg's SWF demuxer hands out, in file order.
std::vector<DemuxedBitmap> Demux(const std::string& path, int& firstWidth) {
  std::vector<DemuxedBitmap> out;
  av_log_set_level(AV_LOG_QUIET);  // mixing palette and alpha bitmaps makes it complain
  AVFormatContext* ctx = nullptr;
  if (avformat_open_input(&ctx, path.c_str(), av_find_input_format("swf"), nullptr) < 0) return out;
  avformat_find_stream_info(ctx, nullptr);
  AVPacket* pkt = av_packet_alloc();
  std::vector<std::pair<int, int>> sizes;
  while (av_read_frame(ctx, pkt) >= 0) {
    // The demuxer adds a stream when it meets the first bitmap of a kind.
    if (sizes.size() < ctx->nb_streams) sizes.resize(ctx->nb_streams, {0, 0});
    AVStream* st = ctx->streams[pkt->stream_index];
    DemuxedBitmap b;
    b.codec = st->codecpar->codec_id;
    b.format = st->codecpar->format;
    auto& size = sizes[size_t(pkt->stream_index)];
    if (size.first == 0) size = {st->codecpar->width, st->codecpar->height};
    size_t sideSize = 0;
    if (const uint8_t* change = av_packet_get_side_data(pkt, AV_PKT_DATA_PARAM_CHANGE, &sideSize); change && sideSize >= 12)
      size = {int(Le32(change + 4)), int(Le32(change + 8))};
    b.width = size.first;
    b.height = size.second;
    b.data.assign(pkt->data, pkt->data + pkt->size);
    if (const uint8_t* pal = av_packet_get_side_data(pkt, AV_PKT_DATA_PALETTE, &sideSize)) b.palette.assign(pal, pal + sideSize);
    out.push_back(std::move(b));
    av_packet_unref(pkt);
  }
  firstWidth = ctx->nb_streams ? ctx->streams[0]->codecpar->width : 0;
  av_packet_free(&pkt);
  avformat_close_input(&ctx);
  return out;
}

// A JPEG packet decoded by FFmpeg into RGBA.
test::Rgba DecodeJpeg(const Bytes& data) {
  test::Rgba out;
  const AVCodec* codec = avcodec_find_decoder(AV_CODEC_ID_MJPEG);
  AVCodecContext* c = avcodec_alloc_context3(codec);
  AVPacket* pkt = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  if (avcodec_open2(c, codec, nullptr) == 0) {
    av_new_packet(pkt, int(data.size()));
    std::memcpy(pkt->data, data.data(), data.size());
    if (avcodec_send_packet(c, pkt) == 0 && avcodec_receive_frame(c, frame) == 0) {
      out = test::Rgba(frame->width, frame->height);
      SwsContext* sws = sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                                       frame->height, AV_PIX_FMT_RGBA, SWS_BILINEAR, nullptr, nullptr, nullptr);
      // swscale may write past the end of rows it finds too short or misaligned.
      uint8_t* dst[4] = {};
      int stride[4] = {};
      av_image_alloc(dst, stride, frame->width, frame->height, AV_PIX_FMT_RGBA, 64);
      sws_scale(sws, frame->data, frame->linesize, 0, frame->height, dst, stride);
      for (int y = 0; y < frame->height; ++y)
        std::memcpy(out.at(0, y), dst[0] + size_t(y) * size_t(stride[0]), size_t(frame->width) * 4);
      av_freep(&dst[0]);
      sws_freeContext(sws);
    }
  }
  av_frame_free(&frame);
  av_packet_free(&pkt);
  avcodec_free_context(&c);
  return out;
}

void FillTrueColour(ImageBlock& f, bool withAlpha) {
  uint8_t* c = AddTrueColour(f, true);
  const int w = PlaneWidth(f), h = PlaneHeight(f);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = c + size_t(y) * Stride24(w) + 3 * size_t(x);
      p[0] = uint8_t(x * 8);
      p[1] = uint8_t(128 + y * 4);
      p[2] = uint8_t(200 - x * 3);
    }
  if (withAlpha) {
    uint8_t* a = AddAlpha(f, true);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) a[size_t(y) * Stride8(w) + size_t(x)] = uint8_t(x * 255 / (w - 1));
  }
}

}  // namespace

TEST(SwfTiming, TheUnitIsTheLargestCommonDivisor) {
  EXPECT_EQ(SwfTimeUnit({10, 10, 20}), 10);
  EXPECT_EQ(SwfTimeUnit({7, 14}), 7);
  EXPECT_EQ(SwfTimeUnit({500, 300}), 100);  // never above 100
  EXPECT_EQ(SwfTimeUnit({5}), 5);
  EXPECT_EQ(SwfTimeUnit({0, 3, 6}), 1);
  EXPECT_EQ(CommonDelayDivisor({10, 20, 30}), 10);
  EXPECT_EQ(CommonDelayDivisor({0, 1}), 1);
  EXPECT_EQ(CommonDelayDivisor({4, 6}), 2);
  EXPECT_EQ(CommonDelayDivisor({9, 6}), 3);
}

TEST(SwfWrite, FramesFollowDelaysAndDisposals) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(30, 20, 16);
  const int delays[5] = {10, 10, 20, 0, 10};
  const int disposals[5] = {kDisposalNone, kDisposalBackground, 7, kDisposalPrevious, kDisposalBackground};
  for (int k = 0; k < 5; ++k) {
    ImageBlock& f = test::AddFrame(*doc, k, k, 10, 8, [k](int x, int) { return (x + k) % 16; });
    f.delay = delays[k];
    SetDisposal(f, disposals[k]);
  }
  const std::string path = dir.file("timing.swf");
  ASSERT_EQ(WriteSwfFile(path, *doc), 1);
  const Bytes file = test::ReadBytes(path);
  const SwfLayout s = ParseSwf(file);
  EXPECT_EQ(std::string(file.begin(), file.begin() + 3), "FWS");
  EXPECT_EQ(file[3], 4);
  EXPECT_EQ(s.length, file.size());
  // A delay of 0 makes the unit 1 (rate 100): the images last 10, 10, 20, 0 and 10 frames,
  // the fourth sharing the fifth's first frame.
  EXPECT_EQ(s.rate, 100);
  EXPECT_EQ(s.frameCount, 50);
  ASSERT_EQ(s.frames.size(), 50u);
  const std::vector<int> define = {swf::kTagDefineBitsLossless, swf::kTagDefineShape3, swf::kTagPlaceObject2};
  EXPECT_EQ(s.frames[0], define);
  EXPECT_TRUE(s.frames[1].empty());
  EXPECT_EQ(s.frames[10], define);
  // The second image goes (disposal 2) after its last frame; the third keeps that kind.
  std::vector<int> third = {swf::kTagRemoveObject};
  third.insert(third.end(), define.begin(), define.end());
  EXPECT_EQ(s.frames[20], third);
  std::vector<int> last = third;
  last.push_back(swf::kTagRemoveObject);  // the fourth is removed in the frame it was shown in
  last.insert(last.end(), define.begin(), define.end());
  EXPECT_EQ(s.frames[40], last);
  EXPECT_TRUE(s.frames[49].empty());  // the last image is never removed
  // Depths follow the images; every removal names the image's shape at its depth.
  ASSERT_EQ(s.places.size(), 5u);
  for (int k = 0; k < 5; ++k) EXPECT_EQ(s.places[size_t(k)][1], k);
  ASSERT_EQ(s.removes.size(), 3u);
  EXPECT_EQ(s.removes[0], s.places[1]);
  EXPECT_EQ(s.removes[1], s.places[2]);
  EXPECT_EQ(s.removes[2], s.places[3]);
  // Twenty twips per pixel: the image at (1, 1) of 10 x 8.
  EXPECT_EQ(s.twipsWidth, 30 * 20);
  EXPECT_EQ(s.shapes[1], (std::array<int32_t, 4>{20, 220, 20, 180}));
}

TEST(SwfWrite, LargeStagesAndTransparentBorders) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr big = test::NewDocument(1000, 500, 4);
  test::AddFrame(*big, 0, 0, 4, 4, [](int, int) { return 1; });
  ASSERT_EQ(WriteSwfFile(dir.file("big.swf"), *big), 1);
  EXPECT_EQ(ParseSwf(test::ReadBytes(dir.file("big.swf"))).twipsWidth, 1000 * 16);

  AnimPtr doc = test::NewDocument(12, 10, 4);
  ImageBlock& f = test::AddFrame(*doc, 0, 0, 12, 10, [](int x, int) { return x % 4; });
  SetTransparentIndex(f, 3);
  SetTransparency(f, true);
  ASSERT_EQ(WriteSwfFile(dir.file("clear.swf"), *doc), 1);
  const SwfLayout s = ParseSwf(test::ReadBytes(dir.file("clear.swf")));
  EXPECT_EQ(s.twipsWidth, 13 * 20);
  EXPECT_EQ(s.twipsHeight, 11 * 20);
  ASSERT_EQ(s.shapes.size(), 1u);
  EXPECT_EQ(s.shapes[0], (std::array<int32_t, 4>{-20, 13 * 20, -20, 11 * 20}));
  EXPECT_EQ(s.frames[0][0], swf::kTagDefineBitsLossless2);
}

TEST(SwfWrite, FfmpegReadsEveryKindOfBitmap) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(24, 16, 16);
  ImageBlock& plain = test::AddFrame(*doc, 0, 0, 24, 16, [](int x, int y) { return (x + y) % 16; });
  ImageBlock& clear = test::AddFrame(*doc, 2, 3, 7, 5, [](int x, int y) { return (x * y) % 5; });
  SetTransparentIndex(clear, 0);
  SetTransparency(clear, true);
  ImageBlock& soft = test::AddFrame(*doc, 4, 4, 16, 8, [](int, int) { return 0; });
  FillTrueColour(soft, true);
  ImageBlock& photo = test::AddFrame(*doc, 0, 0, 24, 16, [](int, int) { return 0; });
  FillTrueColour(photo, false);
  const std::string path = dir.file("kinds.swf");
  ASSERT_EQ(WriteSwfFile(path, *doc), 1);

  int firstWidth = 0;
  const std::vector<DemuxedBitmap> bitmaps = Demux(path, firstWidth);
  ASSERT_EQ(bitmaps.size(), 4u);
  // The palette image: indexes and colours exactly.
  ASSERT_EQ(bitmaps[0].format, AV_PIX_FMT_PAL8);
  ASSERT_EQ(bitmaps[0].palette.size(), 1024u);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < 24; ++x) {
      const uint8_t index = bitmaps[0].data[size_t(y) * 24 + size_t(x)];
      ASSERT_EQ(index, plain.indexedImage->row(y)[x]);
      const uint32_t argb = Le32(bitmaps[0].palette.data() + 4 * index);
      const Rgb want = (*doc->globalPalette)[index];
      EXPECT_EQ(argb & 0xFFFFFF, uint32_t(want.r) << 16 | uint32_t(want.g) << 8 | want.b);
    }
  // The transparent one: a border of the clear index all round (rows padded to 4 bytes).
  ASSERT_EQ(bitmaps[1].width, 9);
  ASSERT_EQ(bitmaps[1].height, 7);
  for (int x = 0; x < 9; ++x) EXPECT_EQ(bitmaps[1].data[size_t(x)], 0);
  EXPECT_EQ(bitmaps[1].data[2 * 12 + 2], clear.indexedImage->row(1)[1]);
  // Alpha, with colours multiplied by it.
  ASSERT_EQ(bitmaps[2].width, 16);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) {
      const uint8_t* p = bitmaps[2].data.data() + (size_t(y) * 16 + size_t(x)) * 4;
      const int a = AlphaRows(soft)[size_t(y) * Stride8(16) + size_t(x)];
      const uint8_t* c = TrueColourRows(soft) + size_t(y) * Stride24(16) + 3 * size_t(x);
      EXPECT_EQ(p[0], a);
      EXPECT_EQ(p[1], c[2] * a / 255);
      EXPECT_EQ(p[3], c[0] * a / 255);
    }
  // The JPEG, within what the preferred quality loses.
  ASSERT_EQ(bitmaps[3].codec, AV_CODEC_ID_MJPEG);
  const test::Rgba decoded = DecodeJpeg(bitmaps[3].data);
  ASSERT_EQ(decoded.width, 24);
  const test::Rgba want = test::FrameRgba(photo);
  long total = 0;
  for (size_t i = 0; i < want.px.size(); ++i) total += std::abs(int(decoded.px[i]) - int(want.px[i]));
  EXPECT_LT(total / long(want.px.size()), 6);
}

}  // namespace fw
