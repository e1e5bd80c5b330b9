// Whether a file offers an audio stream for an AVI export, asked before the export starts.
#include "formats/avi_ffmpeg.h"
#include "formats/avi_file.h"

namespace fw {

bool HasAudioStream(const std::string& path) {
  if (!av::Ready()) return false;
  AVFormatContext* raw = nullptr;
  if (path.empty() || av::Api().avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return false;
  const av::Input input(raw);
  if (av::Api().avformat_find_stream_info(raw, nullptr) < 0) return false;
  return av::Api().av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0) >= 0;
}

}  // namespace fw
