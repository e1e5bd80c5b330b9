#pragma once
// FFmpeg's libraries, loaded the first time an AVI is read or written rather than when the
// program starts: they bring in well over a hundred shared libraries, whose loading took
// most of the start-up time of every run, the many that never touch an AVI included.
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/frame.h>
#include <libavutil/imgutils.h>
#include <libavutil/pixdesc.h>
#include <libswscale/swscale.h>
}

namespace fw::av {

// Every FFmpeg function the AVI code calls.
#define FW_FFMPEG_FUNCTIONS(X) \
  X(av_codec_get_id) \
  X(av_codec_get_tag) \
  X(av_codec_is_encoder) \
  X(av_codec_iterate) \
  X(av_dict_free) \
  X(av_dict_set) \
  X(av_find_best_stream) \
  X(av_frame_alloc) \
  X(av_frame_free) \
  X(av_frame_get_buffer) \
  X(av_frame_make_writable) \
  X(av_frame_unref) \
  X(av_freep) \
  X(av_image_alloc) \
  X(av_interleaved_write_frame) \
  X(av_log_set_level) \
  X(av_mallocz) \
  X(av_new_packet) \
  X(av_packet_alloc) \
  X(av_packet_free) \
  X(av_packet_rescale_ts) \
  X(av_packet_unref) \
  X(av_pix_fmt_desc_get) \
  X(av_read_frame) \
  X(av_rescale_q) \
  X(av_write_frame) \
  X(av_write_trailer) \
  X(avcodec_alloc_context3) \
  X(avcodec_find_best_pix_fmt_of_list) \
  X(avcodec_find_decoder) \
  X(avcodec_find_encoder) \
  X(avcodec_find_encoder_by_name) \
  X(avcodec_free_context) \
  X(avcodec_open2) \
  X(avcodec_parameters_copy) \
  X(avcodec_parameters_from_context) \
  X(avcodec_parameters_to_context) \
  X(avcodec_receive_frame) \
  X(avcodec_receive_packet) \
  X(avcodec_send_frame) \
  X(avcodec_send_packet) \
  X(avformat_alloc_output_context2) \
  X(avformat_close_input) \
  X(avformat_find_stream_info) \
  X(avformat_free_context) \
  X(avformat_get_riff_video_tags) \
  X(avformat_new_stream) \
  X(avformat_open_input) \
  X(avformat_write_header) \
  X(avio_closep) \
  X(avio_open) \
  X(sws_freeContext) \
  X(sws_getCachedContext) \
  X(sws_getContext) \
  X(sws_scale)

struct Functions {
#define FW_FFMPEG_POINTER(name) decltype(&::name) name = nullptr;
  FW_FFMPEG_FUNCTIONS(FW_FFMPEG_POINTER)
#undef FW_FFMPEG_POINTER
};

// Loads the libraries once; false when they cannot be loaded or lack a function, after
// telling the user why. Every AVI entry point asks this first.
bool Ready();
// The functions; only after Ready() said true.
const Functions& Api();

}  // namespace fw::av
