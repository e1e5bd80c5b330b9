#pragma once
// Owning handles for the FFmpeg objects the AVI code uses, so that every way out of a
// function releases them.
#include <memory>

#include "formats/ffmpeg_api.h"

namespace fw::av {

struct InputCloser {
  void operator()(AVFormatContext* c) const { Api().avformat_close_input(&c); }
};
struct OutputCloser {
  void operator()(AVFormatContext* c) const {
    if (c && c->pb && !(c->oformat->flags & AVFMT_NOFILE)) Api().avio_closep(&c->pb);
    Api().avformat_free_context(c);
  }
};
struct CodecCloser {
  void operator()(AVCodecContext* c) const { Api().avcodec_free_context(&c); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { Api().av_packet_free(&p); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { Api().av_frame_free(&f); }
};
struct ScalerFree {
  void operator()(SwsContext* s) const { Api().sws_freeContext(s); }
};

using Input = std::unique_ptr<AVFormatContext, InputCloser>;
using Output = std::unique_ptr<AVFormatContext, OutputCloser>;
using Codec = std::unique_ptr<AVCodecContext, CodecCloser>;
using Packet = std::unique_ptr<AVPacket, PacketFree>;
using Frame = std::unique_ptr<AVFrame, FrameFree>;
using Scaler = std::unique_ptr<SwsContext, ScalerFree>;

}  // namespace fw::av
