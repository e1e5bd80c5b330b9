// The second pass of an AVI export: the uncompressed file re-encoded (our RLE8, FFmpeg's
// Video 1 or another encoder), or copied, with an audio stream copied from another file.
#include <algorithm>
#include <cstring>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/progress.h"
#include "formats/avi_export.h"
#include "formats/avi_ffmpeg.h"
#include "formats/rle8_encoder.h"

namespace fw {
namespace {

enum class Video { kCopy, kRle8, kEncoder };

const char* const kAviSizeFallbackRle8 =
    "AVI 画面 %d×%d 不能用 %s 压缩（宽和高须为 %d 的倍数），已改用 RLE8 压缩，画面尺寸不变。";
const char* const kAviSizeFallbackUncompressed =
    "AVI 画面 %d×%d 不能用 %s 压缩（宽和高须为 %d 的倍数），已改为不压缩的 24 位画面，画面尺寸不变。";

bool IsVideo1(uint32_t handler) {
  return handler == FourCc("msvc") || handler == FourCc("MSVC") || handler == FourCc("cram") ||
         handler == FourCc("CRAM");
}

// What encodes the pictures: our RLE8 coder, or an FFmpeg encoder looked up by the handler.
const AVCodec* EncoderFor(uint32_t handler) {
  if (IsVideo1(handler)) return av::Api().avcodec_find_encoder(AV_CODEC_ID_MSVIDEO1);
  const AVCodecTag* const tags[] = {av::Api().avformat_get_riff_video_tags(), nullptr};
  const AVCodecID id = av::Api().av_codec_get_id(tags, handler);
  return id == AV_CODEC_ID_NONE ? nullptr : av::Api().avcodec_find_encoder(id);
}

class Resaver {
 public:
  Resaver(const AviCompressOptions& options, Progress* progress) : options_(options), progress_(progress) {}
  int run(const std::string& source, const std::string& target, const std::string& audioPath);
  int runDirect(const AviPictureFormat& format, const AviPictureProducer& produce, const std::string& target,
                const std::string& audioPath);

 private:
  int openSource(const std::string& source);
  int openOutput(const std::string& target, const std::string& audioPath);
  int finish();
  int openAudio(const std::string& audioPath);
  int makeVideoStream();
  int copyVideoStream();
  int rle8VideoStream();
  int exactSizeFallback(const char* encoderName, int align);
  int picture(AVFrame& frame);
  int encoded(AVCodecContext& encoder);
  int write(AVPacket& packet, AVRational from, AVStream& to);
  void toBgr(const AVFrame& frame, uint8_t* bgr, int stride);

  const AviCompressOptions& options_;
  Progress* progress_;
  av::Input source_, audio_;
  av::Codec decoder_, encoder_;
  av::Output out_;
  AVStream* in_ = nullptr;
  AVStream* audioIn_ = nullptr;
  AVStream* video_ = nullptr;
  AVStream* audioOut_ = nullptr;
  Video kind_ = Video::kCopy;
  int width_ = 0, height_ = 0;
  // What the pictures are, from the uncompressed file or handed over directly (then there is
  // no stream to copy: storing them uncompressed is the uncompressed writer's job).
  bool palette_ = false;
  std::vector<uint8_t> table_;
  AVRational timeBase_{1, 1};
  bool direct_ = false;
  av::Frame converted_;
  av::Scaler scaler_;
  std::vector<uint8_t> bgr_, previous_, indexes_;
  int64_t pictures_ = 0, expected_ = 1;
};

int Resaver::openSource(const std::string& source) {
  AVFormatContext* raw = nullptr;
  if (int r = av::Api().avformat_open_input(&raw, source.c_str(), nullptr, nullptr); r < 0) return r;
  source_.reset(raw);
  if (int r = av::Api().avformat_find_stream_info(raw, nullptr); r < 0) return r;
  const int index = av::Api().av_find_best_stream(raw, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
  if (index < 0) return index;
  in_ = raw->streams[index];
  width_ = in_->codecpar->width;
  height_ = std::abs(in_->codecpar->height);
  palette_ = in_->codecpar->format == AV_PIX_FMT_PAL8;
  if (in_->codecpar->extradata_size > 0)
    table_.assign(in_->codecpar->extradata, in_->codecpar->extradata + in_->codecpar->extradata_size);
  timeBase_ = in_->time_base;
  expected_ = std::max<int64_t>(1, in_->nb_frames);
  const AVCodec* decoder = av::Api().avcodec_find_decoder(in_->codecpar->codec_id);
  if (!decoder) return AVERROR_DECODER_NOT_FOUND;
  decoder_.reset(av::Api().avcodec_alloc_context3(decoder));
  if (!decoder_) return AVERROR(ENOMEM);
  if (int r = av::Api().avcodec_parameters_to_context(decoder_.get(), in_->codecpar); r < 0) return r;
  return av::Api().avcodec_open2(decoder_.get(), decoder, nullptr);
}

int Resaver::openAudio(const std::string& audioPath) {
  AVFormatContext* raw = nullptr;
  if (av::Api().avformat_open_input(&raw, audioPath.c_str(), nullptr, nullptr) < 0) return avi_result::kNoAudio;
  audio_.reset(raw);
  av::Api().avformat_find_stream_info(raw, nullptr);
  const int index = av::Api().av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
  if (index < 0) return avi_result::kNoAudio;
  audioIn_ = raw->streams[index];
  return avi_result::kOk;
}

int Resaver::copyVideoStream() {
  if (direct_) return avi_result::kNeedsUncompressed;
  kind_ = Video::kCopy;
  if (int r = av::Api().avcodec_parameters_copy(video_->codecpar, in_->codecpar); r < 0) return r;
  video_->codecpar->codec_tag = 0;
  video_->time_base = in_->time_base;
  return avi_result::kOk;
}

int Resaver::rle8VideoStream() {
  kind_ = Video::kRle8;
  AVCodecParameters& par = *video_->codecpar;
  par.codec_type = AVMEDIA_TYPE_VIDEO;
  par.codec_id = AV_CODEC_ID_MSRLE;
  par.codec_tag = 0;
  par.format = AV_PIX_FMT_PAL8;
  par.bits_per_coded_sample = 8;
  par.width = width_;
  par.height = height_;
  // The colour table of the uncompressed pictures is the colour table of this stream.
  if (!table_.empty()) {
    par.extradata = static_cast<uint8_t*>(av::Api().av_mallocz(table_.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par.extradata) return AVERROR(ENOMEM);
    std::memcpy(par.extradata, table_.data(), table_.size());
    par.extradata_size = static_cast<int>(table_.size());
  }
  video_->time_base = timeBase_;
  indexes_.resize(size_t(width_) * size_t(height_));
  return avi_result::kOk;
}

// Encoders that work in blocks (Video 1 in 4x4 cells, chroma-subsampled ones in 2x2) cannot
// hold every size; a padded picture would change the animation's size, so such sizes are
// stored with RLE8 (8-bit pictures) or uncompressed, and the user is told.
int Resaver::exactSizeFallback(const char* encoderName, int align) {
  const bool palette = palette_;
  Messages().showNote(
      FormatText(palette ? kAviSizeFallbackRle8 : kAviSizeFallbackUncompressed, width_, height_, encoderName, align));
  return palette ? rle8VideoStream() : copyVideoStream();
}

int Resaver::makeVideoStream() {
  video_ = av::Api().avformat_new_stream(out_.get(), nullptr);
  if (!video_) return AVERROR(ENOMEM);
  const uint32_t handler = options_.handler();
  const bool palette = palette_;
  if (handler == 0) return copyVideoStream();
  if ((handler == FourCc("mrle") || handler == FourCc("MRLE") || handler == 1) && palette) return rle8VideoStream();

  // RLE8 asked for 24-bit pictures falls to Video 1 as well.
  const AVCodec* codec =
      EncoderFor(IsVideo1(handler) || handler == FourCc("mrle") || handler == 1 ? FourCc("msvc") : handler);
  if (!codec) return AVERROR_ENCODER_NOT_FOUND;
  AVPixelFormat format = AV_PIX_FMT_BGR24;
  if (codec->pix_fmts)
    format = av::Api().avcodec_find_best_pix_fmt_of_list(codec->pix_fmts, AV_PIX_FMT_BGR24, 0, nullptr);
  int align = codec->id == AV_CODEC_ID_MSVIDEO1 ? 4 : 1;
  if (const AVPixFmtDescriptor* d = av::Api().av_pix_fmt_desc_get(format))
    align = std::max({align, 1 << d->log2_chroma_w, 1 << d->log2_chroma_h});
  if (width_ % align != 0 || height_ % align != 0) return exactSizeFallback(codec->name, align);
  kind_ = Video::kEncoder;
  encoder_.reset(av::Api().avcodec_alloc_context3(codec));
  if (!encoder_) return AVERROR(ENOMEM);
  AVCodecContext& e = *encoder_;
  e.width = width_;
  e.height = height_;
  e.pix_fmt = format;
  e.time_base = timeBase_;
  if (options_.keyFrameEvery() > 0) {
    e.gop_size = static_cast<int>(std::min<uint32_t>(options_.keyFrameEvery(), 1 << 20));
    e.keyint_min = e.gop_size;
  }
  if (options_.bytesPerSecond() > 0) e.bit_rate = int64_t{options_.bytesPerSecond()} * 8;
  if (out_->oformat->flags & AVFMT_GLOBALHEADER) e.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (int r = av::Api().avcodec_open2(&e, codec, nullptr); r < 0) return r;
  if (int r = av::Api().avcodec_parameters_from_context(video_->codecpar, &e); r < 0) return r;
  video_->time_base = e.time_base;
  converted_.reset(av::Api().av_frame_alloc());
  if (!converted_) return AVERROR(ENOMEM);
  converted_->format = format;
  converted_->width = width_;
  converted_->height = height_;
  if (int r = av::Api().av_frame_get_buffer(converted_.get(), 0); r < 0) return r;
  bgr_.resize(size_t(width_) * 3 * size_t(height_));
  scaler_.reset(av::Api().sws_getContext(width_, height_, AV_PIX_FMT_BGR24, width_, height_, format, SWS_POINT, nullptr,
                                         nullptr, nullptr));
  return scaler_ ? avi_result::kOk : AVERROR(ENOMEM);
}

void Resaver::toBgr(const AVFrame& frame, uint8_t* bgr, int stride) {
  const bool palette = frame.format == AV_PIX_FMT_PAL8;
  const uint32_t* table = palette ? reinterpret_cast<const uint32_t*>(frame.data[1]) : nullptr;
  for (int y = 0; y < height_; ++y) {
    const uint8_t* src = frame.data[0] + ptrdiff_t(y) * frame.linesize[0];
    uint8_t* dst = bgr + ptrdiff_t(y) * stride;
    if (!palette) {
      std::memcpy(dst, src, size_t(width_) * 3);
      continue;
    }
    for (int x = 0; x < width_; ++x) {
      const uint32_t c = table[src[x]];
      dst[3 * x] = uint8_t(c);
      dst[3 * x + 1] = uint8_t(c >> 8);
      dst[3 * x + 2] = uint8_t(c >> 16);
    }
  }
}

int Resaver::write(AVPacket& packet, AVRational from, AVStream& to) {
  av::Api().av_packet_rescale_ts(&packet, from, to.time_base);
  packet.stream_index = to.index;
  return av::Api().av_interleaved_write_frame(out_.get(), &packet);
}

int Resaver::encoded(AVCodecContext& encoder) {
  av::Packet packet(av::Api().av_packet_alloc());
  if (!packet) return AVERROR(ENOMEM);
  for (;;) {
    const int r = av::Api().avcodec_receive_packet(&encoder, packet.get());
    if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return avi_result::kOk;
    if (r < 0) return r;
    if (int w = write(*packet, encoder.time_base, *video_); w < 0) return w;
  }
}

int Resaver::picture(AVFrame& frame) {
  const int64_t pts = frame.best_effort_timestamp;
  if (kind_ == Video::kRle8) {
    for (int y = 0; y < height_; ++y)
      std::memcpy(indexes_.data() + size_t(y) * size_t(width_), frame.data[0] + ptrdiff_t(y) * frame.linesize[0],
                  size_t(width_));
    const uint32_t every = options_.keyFrameEvery();
    const bool key = previous_.empty() || (every > 0 && pictures_ % every == 0);
    const std::vector<uint8_t> data =
        EncodeRle8(indexes_.data(), size_t(width_), width_, height_, key ? nullptr : previous_.data());
    previous_ = indexes_;
    av::Packet packet(av::Api().av_packet_alloc());
    if (!packet || av::Api().av_new_packet(packet.get(), int(data.size())) < 0) return AVERROR(ENOMEM);
    std::memcpy(packet->data, data.data(), data.size());
    packet->pts = packet->dts = pts;
    if (key) packet->flags |= AV_PKT_FLAG_KEY;
    return write(*packet, timeBase_, *video_);
  }
  if (int r = av::Api().av_frame_make_writable(converted_.get()); r < 0) return r;
  const int stride = width_ * 3;
  toBgr(frame, bgr_.data(), stride);
  const uint8_t* planes[1] = {bgr_.data()};
  av::Api().sws_scale(scaler_.get(), planes, &stride, 0, height_, converted_->data, converted_->linesize);
  converted_->pts = pts;
  if (int r = av::Api().avcodec_send_frame(encoder_.get(), converted_.get()); r < 0) return r;
  return encoded(*encoder_);
}

int Resaver::openOutput(const std::string& target, const std::string& audioPath) {
  if (!audioPath.empty())
    if (int r = openAudio(audioPath); r != avi_result::kOk) return r;
  AVFormatContext* raw = nullptr;
  if (int r = av::Api().avformat_alloc_output_context2(&raw, nullptr, "avi", target.c_str()); r < 0 || !raw)
    return r < 0 ? r : AVERROR(ENOMEM);
  out_.reset(raw);
  if (int r = makeVideoStream(); r != avi_result::kOk) return r;
  if (audioIn_) {
    audioOut_ = av::Api().avformat_new_stream(raw, nullptr);
    if (!audioOut_) return AVERROR(ENOMEM);
    if (int r = av::Api().avcodec_parameters_copy(audioOut_->codecpar, audioIn_->codecpar); r < 0) return r;
    audioOut_->codecpar->codec_tag = 0;
    audioOut_->time_base = audioIn_->time_base;
  }
  if (int r = av::Api().avio_open(&raw->pb, target.c_str(), AVIO_FLAG_WRITE); r < 0) return r;
  AVDictionary* muxerOptions = nullptr;
  av::Api().av_dict_set(&muxerOptions, "flipped_raw_rgb", "1", 0);  // copied raw rows stay bottom-up
  const int header = av::Api().avformat_write_header(raw, &muxerOptions);
  av::Api().av_dict_free(&muxerOptions);
  return header < 0 ? header : avi_result::kOk;
}

int Resaver::finish() {
  if (encoder_) {
    av::Api().avcodec_send_frame(encoder_.get(), nullptr);
    if (int r = encoded(*encoder_); r < 0) return r;
  }
  if (audio_) {
    av::Packet packet(av::Api().av_packet_alloc());
    if (!packet) return AVERROR(ENOMEM);
    for (;;) {
      const int r = av::Api().av_read_frame(audio_.get(), packet.get());
      if (r == AVERROR_EOF) break;
      if (r < 0) return r;
      if (packet->stream_index == audioIn_->index) {
        if (int w = write(*packet, audioIn_->time_base, *audioOut_); w < 0) return w;
      }
      av::Api().av_packet_unref(packet.get());
    }
  }
  if (int r = av::Api().av_write_trailer(out_.get()); r < 0) return r;
  // The last buffered bytes reach the file only here.
  if (int r = av::Api().avio_closep(&out_->pb); r < 0) return r;
  SetProgressPosition(progress_, 100);
  return avi_result::kOk;
}

int Resaver::run(const std::string& source, const std::string& target, const std::string& audioPath) {
  if (int r = openSource(source); r < 0) return r;
  if (int r = openOutput(target, audioPath); r != avi_result::kOk) return r;

  av::Packet packet(av::Api().av_packet_alloc());
  av::Frame frame(av::Api().av_frame_alloc());
  if (!packet || !frame) return AVERROR(ENOMEM);
  auto drain = [&]() {
    int r;
    while ((r = av::Api().avcodec_receive_frame(decoder_.get(), frame.get())) == 0) {
      const int p = picture(*frame);
      av::Api().av_frame_unref(frame.get());
      if (p < 0) return p;
      ++pictures_;
      if (!SetProgressPosition(progress_, std::min<int64_t>(99, pictures_ * 100 / expected_)))
        return int(avi_result::kAborted);
    }
    return (r == AVERROR(EAGAIN) || r == AVERROR_EOF) ? int(avi_result::kOk) : r;
  };
  for (;;) {
    const int r = av::Api().av_read_frame(source_.get(), packet.get());
    if (r == AVERROR_EOF) break;
    if (r < 0) return r;
    if (packet->stream_index != in_->index) {
      av::Api().av_packet_unref(packet.get());
      continue;
    }
    if (kind_ == Video::kCopy) {
      const int w = write(*packet, in_->time_base, *video_);
      av::Api().av_packet_unref(packet.get());
      if (w < 0) return w;
      if (!SetProgressPosition(progress_, std::min<int64_t>(99, ++pictures_ * 100 / expected_)))
        return avi_result::kAborted;
      continue;
    }
    const int sent = av::Api().avcodec_send_packet(decoder_.get(), packet.get());
    av::Api().av_packet_unref(packet.get());
    if (sent < 0) return sent;
    if (int d = drain(); d != avi_result::kOk) return d;
  }
  if (kind_ != Video::kCopy) {
    av::Api().avcodec_send_packet(decoder_.get(), nullptr);
    if (int d = drain(); d != avi_result::kOk) return d;
  }
  return finish();
}

int Resaver::runDirect(const AviPictureFormat& format, const AviPictureProducer& produce, const std::string& target,
                       const std::string& audioPath) {
  direct_ = true;
  width_ = format.width;
  height_ = format.height;
  palette_ = !format.trueColour;
  table_ = format.table;
  timeBase_ = AVRational{static_cast<int>(format.scale), static_cast<int>(format.rate)};
  if (int r = openOutput(target, audioPath); r != avi_result::kOk) return r;
  av::Frame frame(av::Api().av_frame_alloc());
  if (!frame) return AVERROR(ENOMEM);
  AVFrame& f = *frame;
  f.width = width_;
  f.height = height_;
  f.format = palette_ ? AV_PIX_FMT_PAL8 : AV_PIX_FMT_BGR24;
  f.linesize[0] = static_cast<int>(palette_ ? Stride8(width_) : Stride24(width_));
  std::vector<uint8_t> table(1024, 0);
  std::copy_n(table_.begin(), std::min<size_t>(table_.size(), table.size()), table.begin());
  if (palette_) f.data[1] = table.data();
  const int produced = produce([&](const uint8_t* rows, int64_t sample) {
    f.data[0] = const_cast<uint8_t*>(rows);
    f.best_effort_timestamp = sample;
    ++pictures_;
    return picture(f);
  });
  // The frame only borrowed the pictures.
  f.data[0] = f.data[1] = nullptr;
  if (produced != avi_result::kOk) return produced;
  return finish();
}

}  // namespace

int ResaveAvi(const std::string& source, const std::string& target, const AviCompressOptions& options,
              const std::string& audioPath, Progress* progress) {
  if (!av::Ready()) return AVERROR(ENOSYS);
  Resaver resaver(options, progress);
  return resaver.run(source, target, audioPath);
}

int EncodeAvi(const std::string& target, const AviPictureFormat& format, const AviPictureProducer& produce,
              const AviCompressOptions& options, const std::string& audioPath, Progress* progress) {
  if (!av::Ready()) return AVERROR(ENOSYS);
  Resaver resaver(options, progress);
  return resaver.runDirect(format, produce, target, audioPath);
}

}  // namespace fw
