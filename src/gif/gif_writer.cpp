#include "gif/gif_writer.h"

#include <algorithm>
#include <mutex>
#include <new>
#include <optional>
#include <vector>

#include "core/message_sink.h"
#include "core/parallel_for.h"
#include "core/preferences.h"
#include "core/progress.h"
#include "core/string_table.h"
#include "gif/kept_lzw.h"
#include "gif/lzw_encoder.h"

namespace fw {
namespace {

// Entries as RGB triplets padded with black up to the table size the size code announces.
bool WriteColourTable(ByteSink& sink, const Palette& palette) {
  uint8_t table[3 * 256] = {};
  const int entries = 1 << PaletteBits(palette.count());
  for (int i = 0; i < palette.count(); ++i) {
    table[3 * i] = palette[i].r;
    table[3 * i + 1] = palette[i].g;
    table[3 * i + 2] = palette[i].b;
  }
  return sink.write(table, 3 * static_cast<size_t>(entries));
}

// The table bits always describe the table actually written, whatever the stored byte says.
uint8_t TableBits(uint8_t flags, const Palette* table) {
  if (!table) return static_cast<uint8_t>(flags & 0x78);
  return static_cast<uint8_t>((flags & 0x78) | 0x80 | (PaletteBits(table->count()) - 1));
}

uint8_t DescriptorFlags(const ImageBlock& frame) { return TableBits(frame.descriptorFlags, frame.localPalette.get()); }

uint8_t ScreenFlags(uint8_t flags, const Palette* global) {
  // Bits 4-6 here are the colour resolution, not flags to keep clear.
  return static_cast<uint8_t>((TableBits(flags, global) & 0x8F) | (flags & 0x70));
}

// Every size and position is a 16-bit field: larger values would be stored modulo 65536 and
// give a different picture.
constexpr int kGifLargest = 0xFFFF;

bool FitsField(int value) { return value >= 0 && value <= kGifLargest; }

}  // namespace

bool PixelsCoverFrame(const ImageBlock& frame) {
  return frame.indexedImage && frame.width <= frame.indexedImage->width &&
         frame.height <= frame.indexedImage->height;
}

std::string GifLimitProblem(const AnimHeader& document) {
  if (!FitsField(document.screenWidth) || !FitsField(document.screenHeight))
    return FormatText("A GIF holds pictures of at most 65535 x 65535 pixels; this animation is %d x %d.",
                      document.screenWidth, document.screenHeight);
  int index = 1;
  for (const ImageBlock* f = FirstImage(&document); f; f = NextImage(f), ++index) {
    if (!FitsField(f->width) || !FitsField(f->height))
      return FormatText("A GIF holds frames of at most 65535 x 65535 pixels; frame %d is %d x %d.", index, f->width,
                        f->height);
    if (!FitsField(f->left) || !FitsField(f->top))
      return FormatText("A GIF places frames at 0 to 65535 pixels from the top left corner; frame %d is at %d, %d.",
                        index, f->left, f->top);
  }
  return {};
}

int FrameMinCodeSize(const ImageBlock& frame) {
  const bool covered = PixelsCoverFrame(frame);
  int bits = frame.narrowLzwCodes && covered ? 1 : frame.activePalette ? PaletteBits(frame.activePalette->count()) : 8;
  if (bits < 8 && covered) {
    // Indexes beyond the palette would otherwise turn into control codes and wreck the
    // stream; a wider code size keeps every pixel as it is. An index of 128 or more takes all
    // eight bits, so the search stops there.
    const int maxIndex = HighestIndex(*frame.indexedImage, frame.width, frame.height, 128);
    while (bits < 8 && maxIndex >= (1 << bits)) ++bits;
  }
  return std::max(2, bits);
}

bool LzwEncode(ByteSink& sink, const ImageBlock& frame, int minCodeSize, int clearRule, int64_t giveUpAt) {
  if (!PixelsCoverFrame(frame)) return false;
  return ThreadLzwEncoder().encode(sink, *frame.indexedImage, frame.width, frame.height, frame.interlaced(),
                                   minCodeSize, clearRule, giveUpAt);
}

bool LzwEncode(ByteSink& sink, const ImageBlock& frame, int minCodeSize) {
  if (const std::vector<uint8_t>* kept = KeptLzwData(frame, minCodeSize)) return sink.write(kept->data(), kept->size());
  return LzwEncode(sink, frame, minCodeSize, frame.lzwClearRule);
}

namespace {

bool WriteFrameHead(ByteSink& sink, const ImageBlock& frame) {
  const int gifDelay = std::clamp(GifDelayFromDocument(frame.delay, Prefs().timeBase()), 0, 0xFFFF);
  const uint8_t control[8] = {0x21, 0xF9, 0x04, frame.controlFlags, static_cast<uint8_t>(gifDelay),
                              static_cast<uint8_t>(gifDelay >> 8), frame.transparentIndex, 0x00};
  const uint8_t descriptor[10] = {
      0x2C,
      static_cast<uint8_t>(frame.left),   static_cast<uint8_t>(frame.left >> 8),
      static_cast<uint8_t>(frame.top),    static_cast<uint8_t>(frame.top >> 8),
      static_cast<uint8_t>(frame.width),  static_cast<uint8_t>(frame.width >> 8),
      static_cast<uint8_t>(frame.height), static_cast<uint8_t>(frame.height >> 8),
      DescriptorFlags(frame)};
  if (!sink.write(control, 8) || !sink.write(descriptor, 10)) return false;
  return !frame.localPalette || WriteColourTable(sink, *frame.localPalette);
}

// The code size byte, the data sub-blocks and their terminator.
bool WriteFrameData(ByteSink& sink, const ImageBlock& frame) {
  const int minCodeSize = FrameMinCodeSize(frame);
  return sink.writeByte(static_cast<uint8_t>(minCodeSize)) && LzwEncode(sink, frame, minCodeSize) && sink.writeByte(0);
}

// The frames of a stretch of the block list encoded ahead on every core. The streams of
// different frames do not depend on each other, so each comes out byte for byte as one
// encoder would have written it; they are held until written in order, a stretch at a time so
// that memory stays bounded on long animations.
class EncodedStretch {
 public:
  // From `first` on: many small frames (so that threads start rarely), fewer large ones.
  // Frames already measured are left out.
  EncodedStretch(GifBlock* first, const MeasuredLzwBytes* measured) {
    const size_t most = 64 * static_cast<size_t>(ParallelThreads(64));
    uint64_t pixels = 0;
    for (GifBlock* b = first; b && frames_.size() < most && pixels < kStretchPixels; b = b->next) {
      if (!b->isImage()) continue;
      const auto* f = static_cast<const ImageBlock*>(b);
      if (measured && measured->count(f)) continue;
      frames_.push_back(f);
      pixels += f->pixelCount();
    }
    data_.resize(frames_.size());
    ok_.assign(frames_.size(), 0);
    auto encode = [this](size_t i) {
      try {
        ok_[i] = WriteFrameData(data_[i], *frames_[i]);
      } catch (const std::bad_alloc&) {
        ok_[i] = 0;
      }
    };
    ParallelForPixels(frames_.size(), pixels, encode);
  }

  // The data of the next frame, which must be `frame`; false when it could not be encoded.
  bool writeNext(ByteSink& sink, const ImageBlock& frame) {
    if (next_ >= frames_.size() || frames_[next_] != &frame) return WriteFrameData(sink, frame);
    const size_t i = next_++;
    const bool ok = ok_[i] && sink.write(data_[i].bytes.data(), data_[i].bytes.size());
    data_[i].bytes = {};
    return ok;
  }
  bool exhausted() const { return next_ >= frames_.size(); }

 private:
  static constexpr uint64_t kStretchPixels = uint64_t{16} << 20;
  std::vector<const ImageBlock*> frames_;
  std::vector<MemorySink> data_;
  std::vector<char> ok_;
  size_t next_ = 0;
};

}  // namespace

bool WriteGifFrame(ByteSink& sink, const ImageBlock& frame) {
  return WriteFrameHead(sink, frame) && WriteFrameData(sink, frame);
}

int64_t FrameEncodedSize(const ImageBlock& frame) {
  CountingSink sink;
  return WriteGifFrame(sink, frame) ? sink.total() : 0;
}

int64_t FrameEncodedSizeBelow(const ImageBlock& frame, int64_t bound, std::vector<uint8_t>* data) {
  CountingSink head;
  if (!PixelsCoverFrame(frame) || !WriteFrameHead(head, frame)) return 0;
  const int minCodeSize = FrameMinCodeSize(frame);
  // The code size byte and the terminator come on top of the data.
  const int64_t dataBound = bound - head.total() - 2;
  if (dataBound <= 0) return bound;
  CountingSink counted;
  MemorySink kept;
  if (data) kept.bytes.swap(*data);
  kept.bytes.clear();
  ByteSink& sink = data ? static_cast<ByteSink&>(kept) : counted;
  LzwEncoder& encoder = ThreadLzwEncoder();
  const bool encoded = encoder.encode(sink, *frame.indexedImage, frame.width, frame.height, frame.interlaced(),
                                      minCodeSize, frame.lzwClearRule, dataBound);
  if (data) data->swap(kept.bytes);
  if (!encoded) return encoder.gaveUp() ? bound : 0;
  return std::min(head.total() + 2 + sink.total(), bound);
}

int64_t FrameOverheadSize(const ImageBlock& frame) {
  CountingSink sink;
  return WriteFrameHead(sink, frame) ? sink.total() + 2 : 0;
}

int RaisedColourResolution(const AnimHeader& document) {
  int resolution = (document.screenFlags >> 4) & 7;
  resolution = std::max(resolution, PaletteBits(2 << (document.screenFlags & 7)) - 1);
  for (ImageBlock* f = FirstImage(&document); f && resolution < 7; f = NextImage(f))
    if (f->localPalette) resolution = std::max(resolution, PaletteBits(f->localPalette->count()) - 1);
  return resolution;
}

namespace {

// WriteGifStream, the LZW data of measured frames counted rather than written.
int WriteStream(ByteSink& sink, AnimHeader& document, Progress* progress, const MeasuredLzwBytes* measured) {
  if (!GifLimitProblem(document).empty()) return 0;
  bool ok = sink.write("GIF89a", 6);

  const uint8_t flags = static_cast<uint8_t>((document.screenFlags & 0x8F) | RaisedColourResolution(document) << 4);
  // Only store when it changes: the size worker measures documents the interface thread reads.
  if (flags != document.screenFlags) document.screenFlags = flags;
  const uint8_t screen[7] = {static_cast<uint8_t>(document.screenWidth), static_cast<uint8_t>(document.screenWidth >> 8),
                             static_cast<uint8_t>(document.screenHeight), static_cast<uint8_t>(document.screenHeight >> 8),
                             ScreenFlags(flags, document.globalPalette.get()),
                             document.backgroundIndex, document.aspectByte};
  ok = ok && sink.write(screen, 7);
  if (ok && document.globalPalette) ok = WriteColourTable(sink, *document.globalPalette);

  if (ok && document.playCount != 1 && document.frameCount > 1) {
    const int loops = document.playCount == 0 ? 0 : std::min(document.playCount - 1, 0xFFFF);
    const uint8_t loop[19] = {0x21, 0xFF, 0x0B, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0',
                              0x03, 0x01, static_cast<uint8_t>(loops), static_cast<uint8_t>(loops >> 8), 0x00};
    ok = sink.write(loop, 19);
  }

  StartProgress(progress, document.frameCount);
  bool going = true;
  std::optional<EncodedStretch> stretch;
  for (GifBlock* b = document.blockList->next; b && ok; b = b->next) {
    if (!going) break;
    if (b->isExtension()) {
      const auto& data = static_cast<const ExtensionBlock*>(b)->data;
      const uint8_t head[2] = {0x21, b->kind};
      ok = sink.write(head, 2) && sink.write(data.data(), data.size());
      // Stored data always ends in its terminator; make sure a damaged one still closes.
      if (ok && (data.empty() || data.back() != 0)) ok = sink.writeByte(0);
    } else if (b->isImage()) {
      const auto& frame = *static_cast<const ImageBlock*>(b);
      ok = WriteFrameHead(sink, frame);
      const auto known = measured ? measured->find(&frame) : MeasuredLzwBytes::const_iterator{};
      if (measured && known != measured->end()) {
        // The code size byte and the terminator around the data.
        ok = ok && sink.writeMeasured(1 + known->second + 1);
      } else {
        if (!stretch || stretch->exhausted()) stretch.emplace(b, measured);
        ok = ok && stretch->writeNext(sink, frame);
      }
      going = StepProgress(progress);
    }
  }
  if (!going) return 2;
  if (!ok) return 0;
  return sink.writeByte(0x3B) ? 1 : 0;
}

// The size Save writes for a stream of `total` bytes: earlier signature comments out, the
// current one in unless the preferences leave it out.
int32_t SizeAsSaved(const AnimHeader& document, int64_t total) {
  const std::string signature = SignatureText();
  for (const GifBlock* b = document.blockList->next; b; b = b->next) {
    if (!IsSignatureComment(*b, signature)) continue;
    const auto& data = static_cast<const ExtensionBlock*>(b)->data;
    total -= 2 + static_cast<int64_t>(data.size()) + ((data.empty() || data.back() != 0) ? 1 : 0);
  }
  if (!Prefs().bit(pref::kOptionFlags, pref::kNoSignature) && !signature.empty())
    total += static_cast<int64_t>(std::min<size_t>(signature.size(), 255)) + 4;
  return static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
}

}  // namespace

int WriteGifStream(ByteSink& sink, AnimHeader& document, Progress* progress) {
  return WriteStream(sink, document, progress, nullptr);
}

int WriteGifFile(const std::string& path, AnimHeader& document, Progress* progress) {
  if (const std::string problem = GifLimitProblem(document); !problem.empty()) {
    ShowText("%s", problem.c_str());
    return 0;
  }
  auto sink = FileSink::Create(path);
  if (!sink) {
    ShowMessage(msg::kCannotSaveTemp, path.c_str());
    return 0;
  }
  if (progress) SetProgressText(progress, MessageText(msg::kMakingGif));
  const int result = WriteGifStream(*sink, document, progress);
  CloseProgress(progress);
  const bool closed = sink->close();
  return result == 1 && closed ? 1 : 0;
}

namespace {
// The size worker reads the signature while the preferences may store a new one; one user of
// the store's "Sig" value at a time.
std::mutex& SignatureLock() {
  static std::mutex lock;
  return lock;
}
}  // namespace

std::string SignatureText() {
  std::lock_guard<std::mutex> hold(SignatureLock());
  if (PreferenceStore* store = Prefs().store())
    if (std::optional<std::string> text = store->text("Sig")) return *text;
  return "Built with Framewright 4.0";
}

bool StoreSignatureText(const std::string& text) {
  std::lock_guard<std::mutex> hold(SignatureLock());
  PreferenceStore* store = Prefs().store();
  return store && store->setText("Sig", text);
}

bool IsSignatureComment(const GifBlock& block, const std::string& signature) {
  if (!IsComment(block)) return false;
  const std::string text = CommentText(block);
  return text.rfind("Built with Framewright", 0) == 0 || (!signature.empty() && text == signature.substr(0, 255));
}

namespace {
void MeasureSize(AnimHeader& document, Progress* progress, const MeasuredLzwBytes* measured) {
  CountingSink sink;
  if (WriteStream(sink, document, progress, measured) == 1) document.encodedSize = SizeAsSaved(document, sink.total());
}
}  // namespace

int32_t EncodedSize(AnimHeader* document, bool force, Progress* progress) {
  if (!document) return -1;
  if (force || document->encodedSize == -1) MeasureSize(*document, progress, nullptr);
  return document->encodedSize;
}

int32_t EncodedSizeMeasured(AnimHeader* document, const MeasuredLzwBytes& measured, Progress* progress) {
  if (!document) return -1;
  MeasureSize(*document, progress, &measured);
  return document->encodedSize;
}

int WriteFrameAsGif(const std::string& path, ImageBlock& frame) {
  auto sink = FileSink::Create(path);
  if (!sink) {
    ShowMessage(msg::kCannotSaveTemp, path.c_str());
    return 0;
  }
  AnimPtr temp = CreateAnimation();
  if (!temp) return 0;
  temp->screenWidth = frame.width;
  temp->screenHeight = frame.height;
  temp->playCount = 1;
  // The frame's palette serves as the global one for the duration; it is not taken over.
  if (frame.activePalette) SetGlobalPalette(*temp, std::unique_ptr<Palette>(frame.activePalette));
  GifBlock* before = frame.prev;
  GifBlock* after = frame.next;
  frame.prev = frame.next = nullptr;
  Link(temp->blockList, &frame);
  temp->frameCount = 1;
  const std::string problem = GifLimitProblem(*temp);
  if (!problem.empty()) ShowText("%s", problem.c_str());
  const int result = WriteGifStream(*sink, *temp, nullptr);
  // Put the frame back and hand the palette back before the temporary document goes.
  temp->blockList->next = nullptr;
  frame.prev = before;
  frame.next = after;
  if (before) before->next = &frame;
  if (after) after->prev = &frame;
  (void)temp->globalPalette.release();
  const bool closed = sink->close();
  return result == 1 && closed ? 1 : 0;
}

}  // namespace fw
