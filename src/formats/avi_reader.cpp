// AVI in: FFmpeg demuxes and decodes the first video stream; each decoded picture becomes a
// frame whose delay reaches to the next picture, so empty samples lengthen the frame before.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/read_budget.h"
#include "core/string_table.h"
#include "formats/avi_ffmpeg.h"
#include "formats/avi_file.h"

namespace fw {


namespace {

constexpr int kNoVideoStream = 40082;
constexpr int kNoMemoryMovie = 40083;
constexpr int kBadStreamFormat = 40084;
constexpr int kCodecMissing = 40085;
constexpr int kNoGlobalPalette = 40086;
constexpr int kVideoReadError = 40087;
constexpr int kNoMemoryVideoData = 40088;
constexpr int kReadingAvi = 40099;

std::string FourCcText(uint32_t tag) {
  std::string s;
  for (int i = 0; i < 4; ++i) {
    const char c = static_cast<char>(tag >> (8 * i));
    s.push_back(c >= 32 && c < 127 ? c : '?');
  }
  return s;
}

// A 16-bit channel: (sample AND mask) shifted down to its lowest bit, then up to 8 bits. The
// low bits stay 0, so 0x7FFF comes out as 248 in each channel.
struct Channel16 {
  int down = 0, up = 0;
  uint32_t mask = 0;
  uint8_t operator()(uint32_t v) const { return static_cast<uint8_t>(((v & mask) >> down) << up); }
};
Channel16 MakeChannel(uint32_t mask) {
  Channel16 c;
  c.mask = mask;
  while (c.down < 16 && !((mask >> c.down) & 1)) ++c.down;
  int bits = 0;
  while (bits < 16 && ((mask >> (c.down + bits)) & 1)) ++bits;
  c.up = std::max(0, 8 - bits);
  return c;
}

class Importer {
 public:
  Importer(AVStream& stream, Progress* progress, int width, int height)
      : stream_(stream), progress_(progress), width_(width), height_(height),
        timeBase_(Prefs().timeBase()) {}

  // False when reading has to stop (status_ says why).
  bool take(const AVFrame& frame);
  void finish(int64_t end);
  AnimPtr document() { return std::move(doc_); }
  int status() const { return status_; }

 private:
  bool copyPixels(ImageBlock& image, const AVFrame& frame);
  bool paletteFrame(ImageBlock& image, const AVFrame& frame);
  void convert(uint8_t* colour, const AVFrame& frame);
  void closePending(int64_t next);

  AVStream& stream_;
  Progress* progress_;
  int width_, height_;
  int timeBase_;
  AnimPtr doc_ = CreateAnimation();
  std::optional<BlockAppender> out_;  // made with the first frame
  ImageBlock* pending_ = nullptr;
  int64_t pendingPts_ = 0;
  size_t bytes_ = 0;
  int status_ = kReadComplete;
  ReadBudgetScope budget_;
  av::Scaler scaler_;
};

bool Importer::paletteFrame(ImageBlock& image, const AVFrame& frame) {
  const uint32_t* table = reinterpret_cast<const uint32_t*>(frame.data[1]);
  int entries = 256;
  const int bits = stream_.codecpar->bits_per_coded_sample;
  if (bits >= 1 && bits <= 8) entries = 1 << bits;
  std::vector<Rgb> colours(static_cast<size_t>(entries));
  for (int i = 0; i < entries; ++i)
    colours[static_cast<size_t>(i)] = {uint8_t(table[i] >> 16), uint8_t(table[i] >> 8), uint8_t(table[i])};
  if (!doc_->globalPalette) {
    SetGlobalPalette(*doc_, Palette::Create(colours.data(), entries));
    if (!doc_->globalPalette) {
      ShowMessage(kNoGlobalPalette);
      return false;
    }
  }
  image.activePalette = doc_->globalPalette.get();
  // A palette changed inside the stream: this frame keeps its own.
  if (!std::equal(colours.begin(), colours.end(), doc_->globalPalette->data())) {
    SetLocalPalette(image, Palette::Create(colours.data(), entries));
    if (!image.localPalette) return false;
  }
  auto indexed = AllocIndexedImage(width_, height_, image.activePalette);
  if (!indexed) return false;
  for (int y = 0; y < height_; ++y)
    std::memcpy(indexed->row(y), frame.data[0] + static_cast<ptrdiff_t>(y) * frame.linesize[0],
                static_cast<size_t>(width_));
  SetIndexedImage(image, std::move(indexed));
  return true;
}

void Importer::convert(uint8_t* colour, const AVFrame& frame) {
  const size_t stride = Stride24(width_);
  const auto format = static_cast<AVPixelFormat>(frame.format);
  if (format == AV_PIX_FMT_RGB555LE || format == AV_PIX_FMT_RGB565LE) {
    const bool five = format == AV_PIX_FMT_RGB555LE;
    const Channel16 r = MakeChannel(five ? 0x7C00 : 0xF800), g = MakeChannel(five ? 0x03E0 : 0x07E0),
                    b = MakeChannel(0x001F);
    for (int y = 0; y < height_; ++y) {
      const uint8_t* src = frame.data[0] + static_cast<ptrdiff_t>(y) * frame.linesize[0];
      uint8_t* dst = colour + static_cast<size_t>(y) * stride;
      for (int x = 0; x < width_; ++x) {
        const uint32_t v = uint32_t(src[2 * x]) | uint32_t(src[2 * x + 1]) << 8;
        dst[3 * x] = b(v);
        dst[3 * x + 1] = g(v);
        dst[3 * x + 2] = r(v);
      }
    }
    return;
  }
  if (format == AV_PIX_FMT_BGR24 || format == AV_PIX_FMT_BGR0 || format == AV_PIX_FMT_BGRA) {
    const int step = format == AV_PIX_FMT_BGR24 ? 3 : 4;
    for (int y = 0; y < height_; ++y) {
      const uint8_t* src = frame.data[0] + static_cast<ptrdiff_t>(y) * frame.linesize[0];
      uint8_t* dst = colour + static_cast<size_t>(y) * stride;
      for (int x = 0; x < width_; ++x) std::memcpy(dst + 3 * x, src + step * x, 3);
    }
    return;
  }
  scaler_.reset(av::Api().sws_getCachedContext(scaler_.release(), frame.width, frame.height, format, width_, height_,
                                     AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!scaler_) return;
  // swscale may write a little past short rows, so it gets a padded buffer of its own.
  uint8_t* planes[4] = {};
  int strides[4] = {};
  if (av::Api().av_image_alloc(planes, strides, width_, height_, AV_PIX_FMT_BGR24, 64) < 0) return;
  av::Api().sws_scale(scaler_.get(), frame.data, frame.linesize, 0, frame.height, planes, strides);
  for (int y = 0; y < height_; ++y)
    std::memcpy(colour + static_cast<size_t>(y) * stride, planes[0] + static_cast<ptrdiff_t>(y) * strides[0],
                3 * static_cast<size_t>(width_));
  av::Api().av_freep(&planes[0]);
}

bool Importer::copyPixels(ImageBlock& image, const AVFrame& frame) {
  const bool sameSize = frame.width == width_ && frame.height == height_;
  if (frame.format == AV_PIX_FMT_PAL8 && sameSize) return paletteFrame(image, frame);
  uint8_t* colour = AddTrueColour(image, true);
  if (!colour) return false;
  convert(colour, frame);
  return true;
}

void Importer::closePending(int64_t next) {
  if (!pending_) return;
  // delay = U * samples * scale / rate, in whole delay units.
  const __int128 span =
      static_cast<__int128>(std::max<int64_t>(0, next - pendingPts_)) * timeBase_ * stream_.time_base.num;
  const __int128 delay = stream_.time_base.den > 0 ? span / stream_.time_base.den : 0;
  pending_->delay = static_cast<int32_t>(std::min<__int128>(delay, 0x3FFFFFFF));
  pending_ = nullptr;
}

bool Importer::take(const AVFrame& frame) {
  int64_t pts = frame.best_effort_timestamp;
  if (pts == AV_NOPTS_VALUE) pts = pending_ ? pendingPts_ + 1 : 0;
  if (pending_ && pts <= pendingPts_) pts = pendingPts_ + 1;
  closePending(pts);

  // Tiny packets can stand for whole pictures; what a movie may cost in memory is bounded.
  const size_t frameBytes = Stride24(width_) * static_cast<size_t>(height_);
  if (!budget_.admitFrame(int64_t{width_} * height_)) {
    status_ = doc_->frameCount > 0 ? kReadPartial : kReadFailed;
    return false;
  }
  bytes_ += frameBytes;
  ImagePtr image = bytes_ <= MaxPlaneBytes() ? CreateSizedImage(width_, height_) : nullptr;
  if (!image || !copyPixels(*image, frame)) {
    ShowMessage(kNoMemoryVideoData);
    status_ = doc_->frameCount > 0 ? kReadPartial : kReadFailed;
    return false;
  }
  pending_ = image.get();
  pendingPts_ = pts;
  if (!out_) out_.emplace(*doc_);
  out_->append(std::move(image));
  const int64_t start = stream_.start_time == AV_NOPTS_VALUE ? 0 : stream_.start_time;
  if (!SetProgressPosition(progress_, std::max<int64_t>(0, pts - start))) {
    status_ = kReadPartial;
    return false;
  }
  return true;
}

void Importer::finish(int64_t end) { closePending(std::max(end, pendingPts_ + 1)); }

// The first RIFF chunk claims more bytes than the file holds.
bool ShorterThanDeclared(const std::string& path) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
  uint8_t head[12];
  if (!file || std::fread(head, 1, sizeof head, file.get()) != sizeof head) return false;
  if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "AVI ", 4) != 0) return false;
  const uint64_t declared = 8 + (uint64_t{head[4]} | uint64_t{head[5]} << 8 | uint64_t{head[6]} << 16 |
                                 uint64_t{head[7]} << 24);
  if (std::fseek(file.get(), 0, SEEK_END) != 0) return false;
  const long size = std::ftell(file.get());
  return size >= 0 && static_cast<uint64_t>(size) < declared;
}

LoadResult Read(const std::string& path, Progress* progress) {
  if (!av::Ready()) return {};
  AVFormatContext* raw = nullptr;
  if (av::Api().avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) {
    ShowMessage(kNoVideoStream, path.c_str());
    return {};
  }
  av::Input input(raw);
  av::Api().avformat_find_stream_info(input.get(), nullptr);
  const int index = av::Api().av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) {
    ShowMessage(kNoVideoStream, path.c_str());
    return {};
  }
  AVStream& stream = *input->streams[index];
  const AVCodecParameters& par = *stream.codecpar;
  const AVCodec* decoder = av::Api().avcodec_find_decoder(par.codec_id);
  av::Codec codec(av::Api().avcodec_alloc_context3(decoder));
  if (!decoder || !codec || av::Api().avcodec_parameters_to_context(codec.get(), &par) < 0 ||
      av::Api().avcodec_open2(codec.get(), decoder, nullptr) < 0) {
    const std::string name = FourCcText(par.codec_tag);
    ShowMessage(kCodecMissing, name.c_str(), name.c_str());
    return {};
  }
  const int width = par.width, height = std::abs(par.height);
  if (width <= 0 || height <= 0) {
    ShowMessage(kBadStreamFormat);
    return {};
  }
  if (!PlaneSizeAllowed(Stride24(width), static_cast<size_t>(height))) {
    ShowMessage(kNoMemoryMovie);
    return {};
  }

  SetProgressText(progress, MessageText(kReadingAvi));
  const int64_t start = stream.start_time == AV_NOPTS_VALUE ? 0 : stream.start_time;
  const int64_t length = stream.duration != AV_NOPTS_VALUE ? stream.duration : stream.nb_frames;
  StartProgress(progress, std::max<int64_t>(1, length));
  Importer importer(stream, progress, width, height);
  av::Packet packet(av::Api().av_packet_alloc());
  av::Frame frame(av::Api().av_frame_alloc());
  if (!packet || !frame) {
    ShowMessage(kNoMemoryMovie);
    return {};
  }
  bool damaged = false, going = true;
  int64_t packets = 0;
  auto drain = [&]() {
    while (going && av::Api().avcodec_receive_frame(codec.get(), frame.get()) == 0) {
      going = importer.take(*frame);
      av::Api().av_frame_unref(frame.get());
    }
    return going;
  };
  while (going) {
    const int r = av::Api().av_read_frame(input.get(), packet.get());
    if (r < 0) {
      damaged = r != AVERROR_EOF;
      break;
    }
    if (packet->stream_index == index) {
      ++packets;
      // The file ended inside this picture's data.
      if (packet->flags & AV_PKT_FLAG_CORRUPT) damaged = true;
      const int sent = av::Api().avcodec_send_packet(codec.get(), packet.get());
      if (sent < 0 && sent != AVERROR(EAGAIN)) damaged = true;
      drain();
    }
    av::Api().av_packet_unref(packet.get());
    if (damaged) break;
  }
  if (going) {
    av::Api().avcodec_send_packet(codec.get(), nullptr);
    drain();
  }
  // A file cut short ends quietly, as if complete: only the size its RIFF header promised
  // tells that the rest is missing.
  if (going && packets > 0 && ShorterThanDeclared(path)) damaged = true;
  if (importer.status() == kReadFailed) return {};
  importer.finish(length > 0 ? start + length : 0);
  AnimPtr doc = importer.document();
  if (doc->frameCount == 0) {
    ShowMessage(kVideoReadError);
    return {};
  }
  int status = importer.status();
  if (damaged && status == kReadComplete) {
    // What came before the damage is kept, as for any reader that read part of a file.
    ShowMessage(kVideoReadError);
    status = kReadPartial;
  }
  doc->screenWidth = width;
  doc->screenHeight = height;
  doc->playCount = static_cast<int32_t>(Prefs().read(pref::kDefaultLoopCount));
  ComputeColourUsage(*doc, doc->colourUsage.data(), true);
  return {status, std::move(doc)};
}

}  // namespace

LoadResult ReadAvi(const std::string& path, Progress* progress) {
  try {
    return Read(path, progress);
  } catch (const std::bad_alloc&) {
    ShowMessage(kNoMemoryMovie);
    return {};
  }
}

}  // namespace fw
