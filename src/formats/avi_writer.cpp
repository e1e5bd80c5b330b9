// AVI out: the uncompressed pass with its timing, then the re-save and what happens when it
// fails.
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <system_error>

#include "core/compositor.h"
#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "core/write_failure.h"
#include "formats/avi_export.h"
#include "formats/avi_ffmpeg.h"
#include "formats/dib.h"
#include "formats/format_messages.h"

namespace fw {
namespace {

constexpr int kCannotCreate = 40092;
constexpr int kFormatProblem = 40093;
constexpr int kFrameError = 40094;
constexpr int kCompressionFailed = 40095;
constexpr int kOutOfMemoryReason = 40096;
constexpr int kErrorCodeReason = 40097;
constexpr int kCannotSaveTempMessage = 40239;
constexpr int kCompressionCaption = 40098;
constexpr int kPreparing = 40100;
constexpr int kExporting = 40101;
constexpr int kNoAudioStream = 40328;

// The file system refused the bytes (disk full, quota, file size limit, device error): the
// system's reason is noted for the save step, which names the target, instead of showing
// FFmpeg's error number.
bool IsWriteRefusal(int r) {
  return r == AVERROR(ENOSPC) || r == AVERROR(EFBIG) || r == AVERROR(EDQUOT) || r == AVERROR(EIO) ||
         r == AVERROR(EROFS);
}

void ReportFrameError(int r) {
  if (IsWriteRefusal(r))
    NoteWriteError(-r);
  else
    ShowMessage(kFrameError, static_cast<unsigned>(r));
}

// The pictures of an animation as a viewer sees them, one per image, full screen. Plain
// animations (every image a full opaque screen on the global palette) are read as they are;
// anything else goes through the compositor.
class Pictures {
 public:
  Pictures(const AnimHeader& document, bool trueColour)
      : doc_(document), trueColour_(trueColour), width_(document.screenWidth), height_(document.screenHeight) {}

  bool start();
  // Top-down rows of stride(); nullptr after the last image or when memory ran out.
  const uint8_t* next();
  size_t stride() const { return trueColour_ ? Stride24(width_) : Stride8(width_); }

 private:
  bool plain() const;
  const uint8_t* fromImage(const ImageBlock& image);

  const AnimHeader& doc_;
  bool trueColour_;
  int width_, height_;
  bool direct_ = false;
  const ImageBlock* image_ = nullptr;
  AnimPtr copy_;
  CompositorPtr compositor_;
  bool first_ = true;
  std::vector<uint8_t> buffer_;
};

bool Pictures::plain() const {
  for (const ImageBlock* f = FirstImage(&doc_); f; f = NextImage(f)) {
    if (f->left != 0 || f->top != 0 || PlaneWidth(*f) != width_ || PlaneHeight(*f) != height_ || f->transparent())
      return false;
    if (trueColour_ ? (!f->hasTrueColour() && !f->indexedImage)
                    : (!f->indexedImage || f->localPalette || f->activePalette != doc_.globalPalette.get()))
      return false;
  }
  return true;
}

bool Pictures::start() {
  direct_ = plain();
  if (direct_) {
    image_ = FirstImage(&doc_);
    return true;
  }
  const AnimHeader* source = &doc_;
  if (trueColour_) {
    // Every image in true colour, so that the compositor keeps a true-colour canvas and local
    // palettes show in their own colours.
    copy_ = CopyAnimation(doc_, nullptr);
    if (!copy_) return false;
    for (ImageBlock* f = FirstImage(copy_.get()); f; f = NextImage(f))
      if (!f->hasTrueColour() && f->indexedImage && !ExpandToTrueColour(*f)) return false;
    source = copy_.get();
  }
  compositor_ = CreateCompositor(*source);
  return compositor_ != nullptr;
}

const uint8_t* Pictures::fromImage(const ImageBlock& image) {
  if (!trueColour_) return image.indexedImage->pixels.data();
  if (const uint8_t* colour = TrueColourRows(image)) return colour;
  uint32_t table[256];
  PaletteEntries(image, table);
  buffer_.resize(Stride24(width_) * static_cast<size_t>(height_));
  ExpandIndexedRows(image.indexedImage->pixels.data(), image.indexedImage->stride(), table, width_, height_,
                    buffer_.data(), Stride24(width_));
  return buffer_.data();
}

const uint8_t* Pictures::next() {
  if (direct_) {
    if (!image_) return nullptr;
    const ImageBlock& image = *image_;
    image_ = NextImage(image_);
    return fromImage(image);
  }
  const ImageBlock* canvas = first_ ? compositor_->first() : compositor_->next();
  first_ = false;
  if (!canvas) return nullptr;
  if (!trueColour_) return canvas->indexedImage->pixels.data();
  return canvas->trueColour.empty() ? nullptr : canvas->trueColour.data();
}

std::vector<uint8_t> PaletteTable(const AnimHeader& document) {
  std::vector<uint8_t> table(1024, 0);
  if (!document.globalPalette) return table;
  for (int i = 0; i < document.globalPalette->count(); ++i) {
    const Rgb& c = (*document.globalPalette)[i];
    table[4 * size_t(i)] = c.b;
    table[4 * size_t(i) + 1] = c.g;
    table[4 * size_t(i) + 2] = c.r;
  }
  return table;
}

// The uncompressed pass writes every picture in full; on a disk without room for it the export
// would fail late, after filling the disk, so the room is checked first. Unknown room (a file
// system that will not say) is not a reason to refuse.
bool RoomForUncompressed(const std::string& temporary, const AnimHeader& document, bool trueColour) {
  const uint64_t rowBytes =
      (uint64_t{static_cast<uint32_t>(std::max(document.screenWidth, 0))} * (trueColour ? 24 : 8) + 31) / 32 * 4;
  const uint64_t picture = rowBytes * static_cast<uint64_t>(std::max(document.screenHeight, 0)) + 32;
  // Each frame at most once, the last one again at the end, the headers and the index.
  const uint64_t needed = picture * (static_cast<uint64_t>(std::max(document.frameCount, 0)) + 1) + (uint64_t{1} << 16);
  const std::filesystem::path folder = std::filesystem::path(temporary).parent_path();
  std::error_code error;
  const std::filesystem::space_info room = std::filesystem::space(folder.empty() ? "." : folder, error);
  if (error || room.available == static_cast<std::uintmax_t>(-1) || needed <= room.available) return true;
  Messages().showError(kCannotSaveTempMessage,
                       FormatText(MessageText(kCannotSaveTempMessage), temporary.c_str()) + " " +
                           FormatText("The uncompressed pictures need %llu MB, and the disk has %llu MB free.",
                                      static_cast<unsigned long long>((needed + (1 << 20) - 1) >> 20),
                                      static_cast<unsigned long long>(room.available >> 20)));
  return false;
}

}  // namespace

bool AviNeedsTrueColour(const AnimHeader& document) {
  if (!document.globalPalette) return true;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f))
    if (f->localPalette) return true;
  return false;
}

namespace {

bool ExportableSize(const AnimHeader& document) {
  return document.screenWidth > 0 && document.screenHeight > 0 &&
         PlaneSizeAllowed(Stride24(document.screenWidth), static_cast<size_t>(document.screenHeight));
}

AviTiming TimingOf(const AnimHeader& document, int timeBase) {
  std::vector<int> delays;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) delays.push_back(f->delay);
  return ChooseAviTiming(delays, timeBase);
}

// Hands every picture to `emit` at the sample where it starts (images too short to reach a
// sample of their own are overtaken by the next one), then the last picture again at the last
// sample, so that the stream lasts the whole time. kOk, kAborted, ENOMEM after its message, or
// what `emit` returned.
int EmitSamples(const AnimHeader& document, bool trueColour, const AviTiming& timing, int timeBase, Progress* progress,
                const AviPictureEmit& emit) {
  int64_t total = 0;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) total += f->delay;
  SetProgressText(progress, MessageText(kPreparing));
  StartProgress(progress, std::max<int64_t>(1, total));
  Pictures pictures(document, trueColour);
  if (!pictures.start()) {
    ShowMessage(msg::kNoMemoryFrameImage);
    return AVERROR(ENOMEM);
  }
  int64_t lastSample = -1, t = 0;
  const uint8_t* last = nullptr;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f)) {
    last = pictures.next();
    if (!last) {
      ShowMessage(msg::kNoMemoryFrameImage);
      return AVERROR(ENOMEM);
    }
    if (const int64_t sample = timing.sampleAt(t, timeBase); sample > lastSample) {
      if (const int r = emit(last, sample); r < 0) return r;
      lastSample = sample;
    }
    t += std::max<int64_t>(f->delay, timing.unit);
    if (!SetProgressPosition(progress, t)) return avi_result::kAborted;
  }
  if (t > 0 && last) {
    if (const int64_t sample = timing.sampleAt(t - 1, timeBase); sample > lastSample)
      if (const int r = emit(last, sample); r < 0) return r;
  }
  return avi_result::kOk;
}

}  // namespace

int WriteUncompressedAvi(const std::string& path, const AnimHeader& document, bool trueColour, Progress* progress) {
  if (!av::Ready()) return AVERROR(ENOSYS);
  const int width = document.screenWidth, height = document.screenHeight;
  if (!ExportableSize(document)) {
    ShowMessage(kFormatProblem);
    return AVERROR(EINVAL);
  }
  const int timeBase = Prefs().timeBase();
  const AviTiming timing = TimingOf(document, timeBase);

  AVFormatContext* raw = nullptr;
  if (av::Api().avformat_alloc_output_context2(&raw, nullptr, "avi", path.c_str()) < 0 || !raw) {
    ShowMessage(kCannotCreate, path.c_str());
    return AVERROR(EINVAL);
  }
  av::Output out(raw);
  AVStream* stream = av::Api().avformat_new_stream(out.get(), nullptr);
  if (!stream) {
    ShowMessage(kCannotCreate, path.c_str());
    return AVERROR(ENOMEM);
  }
  AVCodecParameters& par = *stream->codecpar;
  par.codec_type = AVMEDIA_TYPE_VIDEO;
  par.codec_id = AV_CODEC_ID_RAWVIDEO;
  par.codec_tag = 0;
  par.width = width;
  par.height = height;
  par.format = trueColour ? AV_PIX_FMT_BGR24 : AV_PIX_FMT_PAL8;
  par.bits_per_coded_sample = trueColour ? 24 : 8;
  if (!trueColour) {
    // The colour table goes into the stream format after the bitmap header.
    const std::vector<uint8_t> table = PaletteTable(document);
    par.extradata = static_cast<uint8_t*>(av::Api().av_mallocz(table.size() + AV_INPUT_BUFFER_PADDING_SIZE));
    if (!par.extradata) {
      ShowMessage(kFormatProblem);
      return AVERROR(ENOMEM);
    }
    std::memcpy(par.extradata, table.data(), table.size());
    par.extradata_size = static_cast<int>(table.size());
  }
  stream->time_base = AVRational{static_cast<int>(timing.scale), static_cast<int>(timing.rate)};
  if (av::Api().avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) {
    ShowMessage(kCannotCreate, path.c_str());
    return AVERROR(EIO);
  }
  // Rows are handed over bottom-up, as a DIB keeps them, and the header says so.
  AVDictionary* options = nullptr;
  av::Api().av_dict_set(&options, "flipped_raw_rgb", "1", 0);
  const int header = av::Api().avformat_write_header(out.get(), &options);
  av::Api().av_dict_free(&options);
  if (header < 0) {
    ShowMessage(kFormatProblem);
    return header;
  }

  const size_t stride = trueColour ? Stride24(width) : Stride8(width);
  std::vector<uint8_t> rows(stride * static_cast<size_t>(height));
  av::Packet packet(av::Api().av_packet_alloc());
  if (!packet) return AVERROR(ENOMEM);
  const int emitted =
      EmitSamples(document, trueColour, timing, timeBase, progress, [&](const uint8_t* picture, int64_t sample) {
        CopyDibRows(rows.data(), picture, stride, height, true);
        if (av::Api().av_new_packet(packet.get(), static_cast<int>(rows.size())) < 0) return AVERROR(ENOMEM);
        std::memcpy(packet->data, rows.data(), rows.size());
        packet->pts = packet->dts = av::Api().av_rescale_q(
            sample, AVRational{static_cast<int>(timing.scale), static_cast<int>(timing.rate)}, stream->time_base);
        packet->duration = 0;
        packet->flags |= AV_PKT_FLAG_KEY;
        packet->stream_index = stream->index;
        const int r = av::Api().av_write_frame(out.get(), packet.get());
        av::Api().av_packet_unref(packet.get());
        if (r < 0) ReportFrameError(r);
        return r;
      });
  if (emitted != avi_result::kOk) return emitted;
  if (const int r = av::Api().av_write_trailer(out.get()); r < 0) {
    ReportFrameError(r);
    return r;
  }
  // The last buffered bytes reach the file only here.
  if (const int r = av::Api().avio_closep(&out->pb); r < 0) {
    ReportFrameError(r);
    return r;
  }
  return avi_result::kOk;
}

namespace {

// The uncompressed pictures written under `temporary` once the disk is known to have room for
// them; false, with nothing left behind, when that failed.
bool WriteUncompressedTemporary(const std::string& temporary, const AnimHeader& document, bool trueColour,
                                Progress* progress) {
  if (!RoomForUncompressed(temporary, document, trueColour)) return false;
  int r;
  try {
    r = WriteUncompressedAvi(temporary, document, trueColour, progress);
  } catch (const std::bad_alloc&) {
    ShowMessage(msg::kNoMemoryFrameImage);
    r = AVERROR(ENOMEM);
  }
  if (r == avi_result::kOk) return true;
  ::unlink(temporary.c_str());
  return false;
}

// The uncompressed file written under a temporary name and renamed onto `path`: 1, or 0 after
// its message.
int WriteUncompressedInPlace(const std::string& path, const AnimHeader& document, bool trueColour, Progress* progress) {
  const std::string temporary = path + "1.avi";
  if (!WriteUncompressedTemporary(temporary, document, trueColour, progress)) return 0;
  ::unlink(path.c_str());
  if (std::rename(temporary.c_str(), path.c_str()) == 0) return 1;
  ShowMessage(fmsg::kCannotWrite, path.c_str());
  ::unlink(temporary.c_str());
  return 0;
}

// What failed compressing: the user may keep the pictures uncompressed instead (written only
// then). 1 when they were, 0 otherwise.
int OfferUncompressed(int r, const std::string& path, const AnimHeader& document, bool trueColour, Progress* progress) {
  const std::string reason = r == AVERROR(ENOMEM) ? MessageText(kOutOfMemoryReason)
                                                  : FormatText(MessageText(kErrorCodeReason), static_cast<unsigned>(r));
  const Answer answer = Messages().ask(kCompressionFailed, FormatText(MessageText(kCompressionFailed), reason.c_str()),
                                       MessageText(kCompressionCaption), Buttons::YesNo, Answer::Yes);
  return answer == Answer::Yes ? WriteUncompressedInPlace(path, document, trueColour, progress) : 0;
}

// The compressed file encoded straight from the pictures: 1, 0 after its message or question,
// or kNeedsUncompressed when these options need the uncompressed file after all.
int WriteCompressedDirectly(const std::string& path, const AnimHeader& document, bool trueColour,
                            const AviCompressOptions& options, const std::string& audio, Progress* progress) {
  if (!ExportableSize(document)) {
    ShowMessage(kFormatProblem);
    return 0;
  }
  const int timeBase = Prefs().timeBase();
  const AviTiming timing = TimingOf(document, timeBase);
  AviPictureFormat format;
  format.width = document.screenWidth;
  format.height = document.screenHeight;
  format.trueColour = trueColour;
  if (!trueColour) format.table = PaletteTable(document);
  format.scale = timing.scale;
  format.rate = timing.rate;
  int r;
  try {
    r = EncodeAvi(
        path, format,
        [&](const AviPictureEmit& emit) { return EmitSamples(document, trueColour, timing, timeBase, progress, emit); },
        options, audio, progress);
  } catch (const std::bad_alloc&) {
    r = AVERROR(ENOMEM);
  }
  if (r == avi_result::kOk) return 1;
  if (r == avi_result::kNeedsUncompressed) return r;
  ::unlink(path.c_str());
  if (r == avi_result::kAborted || r == avi_result::kNoAudio || IsWriteRefusal(r)) {
    if (r == avi_result::kNoAudio) ShowMessage(kNoAudioStream);
    if (IsWriteRefusal(r)) NoteWriteError(-r);
    return 0;
  }
  return OfferUncompressed(r, path, document, trueColour, progress);
}

}  // namespace

int WriteAvi(const std::string& path, const AnimHeader& document, const AviExportSettings& settings,
             Progress* progress) {
  if (!av::Ready()) return 0;
  const bool trueColour = settings.write24 || AviNeedsTrueColour(document);
  AviCompressOptions options = settings.compress ? settings.options : AviPresetOptions(AviPreset::kNone);
  // RLE8 carries 8-bit pictures only.
  if (trueColour && AviPresetOf(options) == AviPreset::kRle8) options = AviPresetOptions(AviPreset::kVideo1);
  const std::string audio = settings.includeAudio ? settings.audioPath : std::string();

  // A compressed file is encoded straight from the pictures: the uncompressed file, many times
  // its size, is made only when the pictures are to be stored uncompressed after all.
  if (options.handler() != 0) {
    SetProgressText(progress, MessageText(kExporting));
    const int direct = WriteCompressedDirectly(path, document, trueColour, options, audio, progress);
    if (direct != avi_result::kNeedsUncompressed) return direct;
    options = AviPresetOptions(AviPreset::kNone);  // the user has been told why
  }
  if (audio.empty()) return WriteUncompressedInPlace(path, document, trueColour, progress);

  // Uncompressed pictures with a copied audio stream: the uncompressed file is re-muxed.
  const std::string temporary = path + "1.avi";
  if (!WriteUncompressedTemporary(temporary, document, trueColour, progress)) return 0;
  SetProgressText(progress, MessageText(kExporting));
  StartProgress(progress, 100);
  int r;
  try {
    r = ResaveAvi(temporary, path, options, audio, progress);
  } catch (const std::bad_alloc&) {
    r = AVERROR(ENOMEM);
  }
  ::unlink(temporary.c_str());
  if (r == avi_result::kOk) return 1;
  ::unlink(path.c_str());
  if (r == avi_result::kNoAudio) ShowMessage(kNoAudioStream);
  if (IsWriteRefusal(r)) NoteWriteError(-r);
  if (r == avi_result::kAborted || r == avi_result::kNoAudio || IsWriteRefusal(r)) return 0;
  return OfferUncompressed(r, path, document, trueColour, progress);
}

}  // namespace fw
