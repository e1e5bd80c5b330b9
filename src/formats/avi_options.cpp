// The AVI compressor record and its presets, the defaults of a plain Save, and the time
// layout of an export.
#include <algorithm>

#include "core/anim_document.h"
#include "core/preferences.h"
#include "formats/avi_file.h"
#include "formats/avi_timing.h"
#include "formats/ffmpeg_api.h"

namespace fw {
namespace {

constexpr const char* kStoredName = "AVICompress";
// Word 6 bit 19: export uncompressed; word 15 bit 2: use the fixed frame rate of word 17.
constexpr uint32_t kUncompressedChoice = 1u << 19;
constexpr uint32_t kFixedFrameRate = 1u << 2;
constexpr uint32_t kKeyFramesFlag = 4;

}  // namespace

AviCompressOptions AviPresetOptions(AviPreset preset) {
  AviCompressOptions o;
  o.words[0] = FourCc("vids");
  o.words[2] = 1500;
  o.words[3] = 10000;
  if (preset == AviPreset::kVideo1) o.words[1] = FourCc("msvc");
  if (preset == AviPreset::kRle8) {
    o.words[1] = FourCc("mrle");
    o.words[5] = kKeyFramesFlag;
  }
  return o;
}

AviPreset AviPresetOf(const AviCompressOptions& options) {
  if (options == AviPresetOptions(AviPreset::kRle8)) return AviPreset::kRle8;
  if (options == AviPresetOptions(AviPreset::kVideo1)) return AviPreset::kVideo1;
  return AviPreset::kCustom;
}

AviCompressOptions StoredAviOptions() {
  AviCompressOptions o = AviPresetOptions(AviPreset::kRle8);
  PreferenceStore* store = Prefs().store();
  if (!store) return o;
  const auto bytes = store->binary(kStoredName);
  if (!bytes || bytes->size() != 44) return o;
  for (size_t i = 0; i < 11; ++i) {
    const uint8_t* p = bytes->data() + 4 * i;
    o.words[i] = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
  }
  return o;
}

void StoreAviOptions(const AviCompressOptions& options) {
  PreferenceStore* store = Prefs().store();
  if (!store) return;
  std::vector<uint8_t> bytes;
  for (uint32_t w : options.words)
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(w >> (8 * i)));
  store->setBinary(kStoredName, bytes);
}

bool CustomAviOptions(const std::string& encoder, AviCompressOptions& options) {
  if (!av::Ready()) return false;
  const AVCodec* codec = av::Api().avcodec_find_encoder_by_name(encoder.c_str());
  if (!codec || codec->type != AVMEDIA_TYPE_VIDEO) return false;
  const AVCodecTag* const tags[] = {av::Api().avformat_get_riff_video_tags(), nullptr};
  const unsigned int tag = av::Api().av_codec_get_tag(tags, codec->id);
  if (tag == 0) return false;
  options = AviPresetOptions(AviPreset::kNone);
  options.words[1] = tag;
  return true;
}

std::vector<std::string> AviCustomEncoders() {
  std::vector<std::string> names;
  if (!av::Ready()) return names;
  const AVCodecTag* const tags[] = {av::Api().avformat_get_riff_video_tags(), nullptr};
  void* state = nullptr;
  while (const AVCodec* codec = av::Api().av_codec_iterate(&state))
    if (av::Api().av_codec_is_encoder(codec) && codec->type == AVMEDIA_TYPE_VIDEO &&
        av::Api().av_codec_get_tag(tags, codec->id) != 0)
      names.push_back(codec->name);
  std::sort(names.begin(), names.end());
  return names;
}

void FillAviDefaults(const AnimHeader& document, AviExportSettings& settings) {
  settings.includeAudio = false;
  settings.write24 = false;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->hasTrueColour()) settings.write24 = true;
  settings.flags = settings.write24 ? kAviHas24Bit : 0;
  if (Prefs().bit(pref::kOptionFlags, kUncompressedChoice)) {
    settings.compress = false;
    settings.options = AviPresetOptions(AviPreset::kNone);
    return;
  }
  settings.compress = true;
  settings.options = StoredAviOptions();
  // RLE8 carries only 8-bit pictures.
  if (settings.write24 && AviPresetOf(settings.options) == AviPreset::kRle8)
    settings.options = AviPresetOptions(AviPreset::kVideo1);
}

int64_t AviTiming::sampleAt(int64_t time, int64_t timeBase) const {
  if (fixedRate) return time * rate / (timeBase * 10000);
  return time / unit;
}

AviTiming ChooseAviTiming(const std::vector<int>& delays, int timeBase) {
  AviTiming t;
  const uint32_t fixed = Prefs().read(pref::kAviFrameRate);
  if (Prefs().bit(pref::kMoreFlags, kFixedFrameRate) && fixed > 0) {
    t.fixedRate = true;
    t.scale = 10000;
    t.rate = fixed;
    t.unit = std::max<int64_t>(1, int64_t{timeBase} * 10000 / fixed);
    return t;
  }
  t.unit = CommonDelayDivisor(delays);
  t.scale = t.unit;
  t.rate = timeBase;
  return t;
}

}  // namespace fw
