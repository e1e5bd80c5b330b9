// AVI: our files demuxed and decoded by FFmpeg (uncompressed, RLE8, Video 1, with audio),
// the timing of samples, the pictures a viewer would see, AVIs FFmpeg makes read back, and
// the failure question.
#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avformat.h>
}

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <sstream>

#include "core/frame_planes.h"
#include "core/message_sink.h"
#include "core/preferences.h"
#include "core/string_table.h"
#include "formats/avi_file.h"
#include "formats/format_peers.h"
#include "formats/rle8_encoder.h"
#include "support/test_support.h"

namespace fw {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

// ffprobe's description of each stream, as key=value pairs.
std::vector<std::map<std::string, std::string>> Probe(const std::string& path) {
  std::string out;
  std::vector<std::map<std::string, std::string>> streams;
  test::RunCapture({"ffprobe", "-v", "error", "-show_entries",
                    "stream=codec_type,codec_name,time_base,duration_ts,nb_frames,width,height", "-of", "default=nw=0",
                    path},
                   out);
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    if (line == "[STREAM]") streams.emplace_back();
    const size_t eq = line.find('=');
    if (eq != std::string::npos && !streams.empty()) streams.back()[line.substr(0, eq)] = line.substr(eq + 1);
  }
  return streams;
}

// Packet timestamps (in the stream's time base) of the video stream.
std::vector<int> VideoPts(const std::string& path) {
  std::string out;
  std::vector<int> pts;
  test::RunCapture({"ffprobe", "-v", "error", "-select_streams", "v", "-show_entries", "packet=pts", "-of", "csv=p=0", path}, out);
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line))
    if (!line.empty()) pts.push_back(std::stoi(line));
  return pts;
}

ImageBlock& AddTrueColourFrame(AnimHeader& doc, int w, int h, int seed) {
  ImageBlock& f = test::AddFrame(doc, 0, 0, w, h, [](int, int) { return 0; });
  uint8_t* c = AddTrueColour(f, true);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = c + size_t(y) * Stride24(w) + 3 * size_t(x);
      p[0] = uint8_t(x * 6 + seed * 20);
      p[1] = uint8_t(y * 9);
      p[2] = uint8_t(255 - x * 4 - seed);
    }
  return f;
}

AviExportSettings Uncompressed(const AnimHeader& doc) {
  AviExportSettings s;
  FillAviDefaults(doc, s);
  s.compress = false;
  return s;
}

int WorstFrameDifference(const std::vector<test::Rgba>& a, const std::vector<test::Rgba>& b) {
  if (a.size() != b.size()) return 1000;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) worst = std::max(worst, test::MaxDifference(a[i], b[i]));
  return worst;
}

// A mono 16-bit PCM WAV of `samples` samples.
Bytes Wav(int samples) {
  Bytes b;
  auto u32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i))); };
  auto u16 = [&](uint32_t v) { for (int i = 0; i < 2; ++i) b.push_back(uint8_t(v >> (8 * i))); };
  b.insert(b.end(), {'R', 'I', 'F', 'F'});
  u32(36 + 2 * uint32_t(samples));
  b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
  u32(16);
  u16(1);
  u16(1);
  u32(8000);
  u32(16000);
  u16(2);
  u16(16);
  b.insert(b.end(), {'d', 'a', 't', 'a'});
  u32(2 * uint32_t(samples));
  for (int i = 0; i < samples; ++i) u16(uint32_t(int16_t((i % 40) * 800 - 16000)) & 0xFFFF);
  return b;
}

// Three 4 x 2 pal8 pictures of index 1; the palette's entry 1 is red, then blue, then blue.
bool WritePaletteChanges(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_alloc_output_context2(&raw, nullptr, "avi", path.c_str()) < 0) return false;
  std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> out(raw, [](AVFormatContext* c) {
    if (c->pb) avio_closep(&c->pb);
    avformat_free_context(c);
  });
  AVStream* st = avformat_new_stream(raw, nullptr);
  st->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  st->codecpar->codec_id = AV_CODEC_ID_RAWVIDEO;
  st->codecpar->format = AV_PIX_FMT_PAL8;
  st->codecpar->bits_per_coded_sample = 8;
  st->codecpar->width = 4;
  st->codecpar->height = 2;
  st->time_base = AVRational{1, 10};
  if (avio_open(&raw->pb, path.c_str(), AVIO_FLAG_WRITE) < 0 || avformat_write_header(raw, nullptr) < 0) return false;
  for (int k = 0; k < 3; ++k) {
    AVPacket* pkt = av_packet_alloc();
    av_new_packet(pkt, 8);
    std::memset(pkt->data, 1, 8);
    uint32_t* pal = reinterpret_cast<uint32_t*>(av_packet_new_side_data(pkt, AV_PKT_DATA_PALETTE, AVPALETTE_SIZE));
    for (int i = 0; i < 256; ++i) pal[i] = 0xFF000000u | uint32_t(i);
    pal[1] = k == 0 ? 0xFFC80000u : 0xFF0000C8u;
    pkt->pts = pkt->dts = k;
    pkt->flags |= AV_PKT_FLAG_KEY;
    const int r = av_write_frame(raw, pkt);
    av_packet_free(&pkt);
    if (r < 0) return false;
  }
  return av_write_trailer(raw) == 0;
}

}  // namespace

TEST(AviTiming, SamplesFromDelaysOrTheFixedRate) {
  test::ScopedMessages messages;
  AviTiming t = ChooseAviTiming({10, 20, 30}, 100);
  EXPECT_EQ(t.unit, 10);
  EXPECT_EQ(t.scale, 10);
  EXPECT_EQ(t.rate, 100);
  EXPECT_EQ(ChooseAviTiming({4, 6}, 100).unit, 2);
  EXPECT_EQ(ChooseAviTiming({0, 1}, 100).unit, 1);
  Prefs().setBits(pref::kMoreFlags, 1u << 2, true);
  Prefs().write(pref::kAviFrameRate, 125000);  // 12.5 frames per second
  t = ChooseAviTiming({10, 20}, 100);
  EXPECT_TRUE(t.fixedRate);
  EXPECT_EQ(t.scale, 10000);
  EXPECT_EQ(t.rate, 125000);
  EXPECT_EQ(t.unit, 8);
  EXPECT_EQ(t.sampleAt(80, 100), 10);
}

TEST(AviOptions, PresetsStoredRecordAndDefaults) {
  test::ScopedMessages messages;
  MemoryPreferenceStore store;
  Prefs().load(&store);
  EXPECT_EQ(AviPresetOf(StoredAviOptions()), AviPreset::kRle8);
  StoreAviOptions(AviPresetOptions(AviPreset::kVideo1));
  ASSERT_EQ(store.binaries["AVICompress"].size(), 44u);
  EXPECT_EQ(AviPresetOf(StoredAviOptions()), AviPreset::kVideo1);
  AviCompressOptions custom;
  ASSERT_TRUE(CustomAviOptions("mjpeg", custom));
  EXPECT_EQ(custom.handler(), FourCc("MJPG"));
  EXPECT_EQ(AviPresetOf(custom), AviPreset::kCustom);
  EXPECT_FALSE(CustomAviOptions("no-such-encoder", custom));
  const std::vector<std::string> encoders = AviCustomEncoders();
  EXPECT_NE(std::find(encoders.begin(), encoders.end(), "msvideo1"), encoders.end());

  // RLE8 stored: 8-bit animations keep it, 24-bit ones get Video 1.
  StoreAviOptions(AviPresetOptions(AviPreset::kRle8));
  AnimPtr doc = test::NewDocument(8, 8, 4);
  test::AddFrame(*doc, 0, 0, 8, 8, [](int, int) { return 1; });
  AviExportSettings s;
  FillAviDefaults(*doc, s);
  EXPECT_TRUE(s.compress);
  EXPECT_FALSE(s.write24);
  EXPECT_EQ(AviPresetOf(s.options), AviPreset::kRle8);
  AddTrueColourFrame(*doc, 8, 8, 1);
  FillAviDefaults(*doc, s);
  EXPECT_TRUE(s.write24);
  EXPECT_EQ(s.flags, kAviHas24Bit);
  EXPECT_EQ(AviPresetOf(s.options), AviPreset::kVideo1);
  Prefs().setBits(pref::kOptionFlags, 1u << 19, true);
  FillAviDefaults(*doc, s);
  EXPECT_FALSE(s.compress);
  Prefs().load(nullptr);
}

TEST(AviWrite, UncompressedSamplesGapsAndPixelsFfmpegReads) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(20, 12, 64);
  const int delays[3] = {10, 20, 30};
  for (int k = 0; k < 3; ++k) test::AddFrame(*doc, 0, 0, 20, 12, [k](int x, int y) { return (x + 2 * y + 9 * k) % 64; }).delay = delays[k];
  const std::string path = dir.file("plain.avi");
  ASSERT_EQ(WriteAvi(path, *doc, Uncompressed(*doc)), 1) << testing::PrintToString(messages.ids());
  EXPECT_FALSE(fs::exists(path + "1.avi"));

  // u = 10: one sample is a tenth of a second; six samples, pictures at 0, 1 and 3 and the
  // last one again at 5.
  const auto streams = Probe(path);
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].at("codec_name"), "rawvideo");
  EXPECT_EQ(streams[0].at("time_base"), "1/10");
  EXPECT_EQ(streams[0].at("duration_ts"), "6");
  EXPECT_EQ(VideoPts(path), (std::vector<int>{0, 1, 3, 5}));
  std::vector<test::Rgba> expected;
  for (int k : {0, 1, 2, 2}) expected.push_back(test::FrameRgba(*ImageAt(doc.get(), k)));
  EXPECT_EQ(WorstFrameDifference(test::FfmpegFrames(path, 20, 12), expected), 0);

  // Read back: the same timeline, the empty samples lengthening the frames before them.
  LoadResult back = ReadAvi(path);
  ASSERT_EQ(back.status, 1);
  EXPECT_EQ(back.document->frameCount, 4);
  EXPECT_EQ(ImageAt(back.document.get(), 1)->delay, 20);
  back.document->playCount = doc->playCount;  // AVI has no loop count
  EXPECT_EQ(test::TimelineDifference(test::ComposeTimeline(*back.document), test::ComposeTimeline(*doc)), "");
  // The stream's colour table has 256 entries; ours are its first 64.
  ASSERT_EQ(back.document->globalPalette->count(), 256);
  for (int i = 0; i < 64; ++i) EXPECT_EQ((*back.document->globalPalette)[i], (*doc->globalPalette)[i]);
}

// A screen of 40000 x 40000 with a thousand small frames needs terabytes uncompressed: the export
// says so before it writes anything.
TEST(AviWrite, NoUncompressedPassOnADiskWithoutRoom) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(40000, 40000, 4);
  for (int k = 0; k < 1000; ++k) test::AddFrame(*doc, k, k, 1, 1, [k](int, int) { return k % 4; });
  const AviExportSettings s = Uncompressed(*doc);
  const std::string path = dir.file("huge.avi");
  EXPECT_EQ(WriteAvi(path, *doc, s), 0);
  ASSERT_EQ(messages.ids(), std::vector<int>{40239});
  EXPECT_NE(messages.sink.texts()[0].find("MB free"), std::string::npos) << messages.sink.texts()[0];
  EXPECT_FALSE(fs::exists(path));
  EXPECT_FALSE(fs::exists(path + "1.avi"));
}

// A compressed export is encoded straight from the pictures: it succeeds where the disk could
// not have held the uncompressed file (here a file size limit of 160 KB, against 400 KB of
// uncompressed pictures), and leaves no temporary file.
TEST(AviWrite, CompressedExportNeedsNoRoomForUncompressedPictures) {
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(64, 64, 4);
  for (int k = 0; k < 100; ++k) test::AddFrame(*doc, 0, 0, 64, 64, [k](int x, int) { return (x / 16 + k) % 4; }).delay = 10;
  for (const AviPreset preset : {AviPreset::kRle8, AviPreset::kVideo1}) {
    const std::string path = dir.file(preset == AviPreset::kRle8 ? "rle.avi" : "video1.avi");
    const pid_t child = fork();
    if (child == 0) {
      std::signal(SIGXFSZ, SIG_IGN);  // writes past the limit fail as on a full disk
      const rlimit cap{160 << 10, 160 << 10};
      setrlimit(RLIMIT_FSIZE, &cap);
      RecordingMessageSink quiet;
      SetMessageSink(&quiet);
      AviExportSettings s = Uncompressed(*doc);
      s.compress = true;
      s.options = AviPresetOptions(preset);
      _exit(WriteAvi(path, *doc, s) == 1 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << path;
    EXPECT_FALSE(fs::exists(path + "1.avi"));
    EXPECT_LT(fs::file_size(path), uintmax_t{160} << 10);
    LoadResult back = ReadAvi(path);
    ASSERT_TRUE(back.document) << path;
    EXPECT_EQ(back.document->frameCount, 100);
    back.document->playCount = doc->playCount;  // AVI has no loop count
    // Video 1 keeps colours to 15 bits; RLE8 keeps the indexes.
    if (preset == AviPreset::kRle8) {
      EXPECT_EQ(test::TimelineDifference(test::ComposeTimeline(*back.document), test::ComposeTimeline(*doc)), "");
    }
  }
}

TEST(AviWrite, TrueColourAndWhatAViewerSees) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(16, 10, 32);
  AddTrueColourFrame(*doc, 16, 10, 0);
  AddTrueColourFrame(*doc, 16, 10, 3);
  ASSERT_EQ(WriteAvi(dir.file("rgb.avi"), *doc, Uncompressed(*doc)), 1);
  EXPECT_EQ(Probe(dir.file("rgb.avi")).at(0).at("codec_name"), "rawvideo");
  // Both last one sample: the repeated last picture would fall on the same sample.
  EXPECT_EQ(WorstFrameDifference(test::FfmpegFrames(dir.file("rgb.avi"), 16, 10),
                                 {test::FrameRgba(*ImageAt(doc.get(), 0)), test::FrameRgba(*ImageAt(doc.get(), 1))}),
            0);

  // A smaller frame with a transparent hole and a local palette: the movie shows the pictures
  // a viewer would, in their own colours.
  AnimPtr partial = test::NewDocument(12, 8, 16);
  test::AddFrame(*partial, 0, 0, 12, 8, [](int x, int) { return x; });
  ImageBlock& small = test::AddFrame(*partial, 3, 2, 4, 3, [](int x, int) { return x == 0 ? 15 : 2; });
  std::vector<Rgb> own(16, Rgb{250, 10, 10});
  SetLocalPalette(small, Palette::Create(own.data(), 16));
  SetTransparentIndex(small, 15);
  SetTransparency(small, true);
  ASSERT_EQ(WriteAvi(dir.file("viewer.avi"), *partial, Uncompressed(*partial)), 1);
  const std::vector<test::Rgba> shown = test::FfmpegFrames(dir.file("viewer.avi"), 12, 8);
  ASSERT_GE(shown.size(), 2u);
  test::Rgba want = test::FrameRgba(*FirstImage(partial.get()));
  for (int y = 2; y < 5; ++y)
    for (int x = 4; x < 7; ++x) std::memcpy(want.at(x, y), std::array<uint8_t, 4>{250, 10, 10, 255}.data(), 4);
  EXPECT_EQ(test::MaxDifference(shown[1], want), 0);
}

TEST(AviWrite, Rle8AndVideo1ThroughFfmpegDecoders) {
  test::ScopedMessages messages;
  test::TempDir dir;
  // Wide and tall enough for runs, literals and skips longer than one code can hold.
  const int w = 300, h = 270;
  AnimPtr doc = test::NewDocument(w, h, 256);
  test::AddFrame(*doc, 0, 0, w, h, [](int x, int y) { return y < 100 ? 7 : ((x * 7 + y * 3) % 97 < 40 ? x % 256 : 200); });
  test::AddFrame(*doc, 0, 0, w, h, [](int x, int y) {
    if (y == 260 && x > 280) return 9;  // a change near the top-right after many unchanged rows
    if (y == 3 && x < 2) return 11;     // and one at the start of a row
    return y < 100 ? 7 : ((x * 7 + y * 3) % 97 < 40 ? x % 256 : 200);
  });
  test::AddFrame(*doc, 0, 0, w, h, [](int x, int y) { return (x / 3 + y) % 256; });
  AviExportSettings s;
  FillAviDefaults(*doc, s);
  ASSERT_EQ(AviPresetOf(s.options), AviPreset::kRle8);
  s.options.words[2] = 2;  // a key frame every second picture: the others are deltas
  const std::string path = dir.file("rle.avi");
  ASSERT_EQ(WriteAvi(path, *doc, s), 1) << testing::PrintToString(messages.ids());
  EXPECT_EQ(Probe(path).at(0).at("codec_name"), "msrle");
  std::vector<test::Rgba> expected;
  for (int k : {0, 1, 2}) expected.push_back(test::FrameRgba(*ImageAt(doc.get(), k)));
  const std::vector<test::Rgba> decoded = test::FfmpegFrames(path, w, h);
  ASSERT_GE(decoded.size(), 3u);
  EXPECT_EQ(WorstFrameDifference({decoded.begin(), decoded.begin() + 3}, expected), 0);
  // The delta frame is much smaller than the key frame.
  EXPECT_LT(EncodeRle8(ImageAt(doc.get(), 1)->indexedImage->pixels.data(), Stride8(w), w, h,
                       FirstImage(doc.get())->indexedImage->pixels.data())
                .size(),
            100u);

  // Video 1 for 24-bit pictures: in its 4x4 cells where the size allows.
  auto video1 = [&](int width, int height, const std::string& name) {
    AnimPtr rgb = test::NewDocument(width, height, 2);
    AddTrueColourFrame(*rgb, width, height, 0);
    AddTrueColourFrame(*rgb, width, height, 5);
    FillAviDefaults(*rgb, s);
    s.options = AviPresetOptions(AviPreset::kVideo1);
    EXPECT_EQ(WriteAvi(dir.file(name), *rgb, s), 1) << testing::PrintToString(messages.ids());
    return rgb;
  };
  AnimPtr rgb = video1(32, 20, "v1.avi");
  const auto streams = Probe(dir.file("v1.avi"));
  EXPECT_EQ(streams.at(0).at("codec_name"), "msvideo1");
  EXPECT_EQ(streams.at(0).at("width"), "32");
  const std::vector<test::Rgba> v1 = test::FfmpegFrames(dir.file("v1.avi"), 32, 20);
  ASSERT_GE(v1.size(), 2u);
  for (int k = 0; k < 2; ++k) {
    const test::Rgba want = test::FrameRgba(*ImageAt(rgb.get(), k));
    long total = 0;
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 32; ++x)
        for (int c = 0; c < 3; ++c) total += std::abs(int(v1[size_t(k)].at(x, y)[c]) - int(want.at(x, y)[c]));
    EXPECT_LT(total / (32 * 20 * 3), 12) << k;
  }
  EXPECT_TRUE(messages.sink.notes.empty());

  // Other sizes keep the animation's exact size: 24-bit pictures stay uncompressed, 8-bit
  // ones go to RLE8, and the user is told which.
  AnimPtr odd = video1(30, 18, "odd.avi");
  EXPECT_EQ(Probe(dir.file("odd.avi")).at(0).at("codec_name"), "rawvideo");
  EXPECT_EQ(Probe(dir.file("odd.avi")).at(0).at("width"), "30");
  const std::vector<test::Rgba> exact = test::FfmpegFrames(dir.file("odd.avi"), 30, 18);
  ASSERT_GE(exact.size(), 2u);
  EXPECT_EQ(WorstFrameDifference({exact.begin(), exact.begin() + 2},
                                 {test::FrameRgba(*FirstImage(odd.get())), test::FrameRgba(*ImageAt(odd.get(), 1))}),
            0);
  ASSERT_EQ(messages.sink.notes.size(), 1u);
  EXPECT_NE(messages.sink.notes[0].find("24"), std::string::npos);
  AnimPtr indexed = test::NewDocument(40, 30, 16);
  for (int k = 0; k < 2; ++k) test::AddFrame(*indexed, 0, 0, 40, 30, [k](int x, int y) { return (x + y + k) % 16; });
  FillAviDefaults(*indexed, s);
  s.options = AviPresetOptions(AviPreset::kVideo1);
  ASSERT_EQ(WriteAvi(dir.file("indexed.avi"), *indexed, s), 1);
  EXPECT_EQ(Probe(dir.file("indexed.avi")).at(0).at("codec_name"), "msrle");
  EXPECT_EQ(Probe(dir.file("indexed.avi")).at(0).at("height"), "30");
  ASSERT_EQ(messages.sink.notes.size(), 2u);
  EXPECT_NE(messages.sink.notes[1].find("RLE8"), std::string::npos);
}

TEST(AviWrite, AudioIsCopiedAndFailuresAskOrRefuse) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(8, 8, 16);
  for (int k = 0; k < 4; ++k) test::AddFrame(*doc, 0, 0, 8, 8, [k](int x, int) { return (x + k) % 16; }).delay = 25;
  test::WriteBytes(dir.file("tone.wav"), Wav(8000));
  AviExportSettings s;
  FillAviDefaults(*doc, s);
  s.includeAudio = true;
  s.audioPath = dir.file("tone.wav");
  ASSERT_EQ(WriteAvi(dir.file("sound.avi"), *doc, s), 1) << testing::PrintToString(messages.ids());
  const auto streams = Probe(dir.file("sound.avi"));
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].at("codec_name"), "msrle");
  EXPECT_EQ(streams[1].at("codec_name"), "pcm_s16le");
  EXPECT_EQ(streams[1].at("nb_frames"), "8000");
  EXPECT_EQ(ReadAvi(dir.file("sound.avi")).document->frameCount, 4);

  // Audio from a file without any: refused with its message, nothing written.
  test::WriteBytes(dir.file("silent.txt"), Bytes(100, 'x'));
  s.audioPath = dir.file("silent.txt");
  messages.sink.clear();
  EXPECT_EQ(WriteAvi(dir.file("none.avi"), *doc, s), 0);
  EXPECT_EQ(messages.ids(), std::vector<int>{40328});
  EXPECT_FALSE(fs::exists(dir.file("none.avi")));
  EXPECT_FALSE(fs::exists(dir.file("none.avi1.avi")));

  // A compressor that cannot be had: the question, then the uncompressed file or nothing.
  s.includeAudio = false;
  s.options.words[1] = FourCc("ZZZZ");
  messages.sink.clear();
  messages.sink.scriptedAnswers = {Answer::No};
  EXPECT_EQ(WriteAvi(dir.file("no.avi"), *doc, s), 0);
  ASSERT_EQ(messages.ids(), std::vector<int>{40095});
  EXPECT_TRUE(messages.sink.entries[0].question);
  EXPECT_EQ(messages.sink.entries[0].text.rfind("对于Windows压缩视频失败错误 0x", 0), 0u);
  EXPECT_FALSE(fs::exists(dir.file("no.avi")));
  messages.sink.scriptedAnswers = {Answer::Yes};
  EXPECT_EQ(WriteAvi(dir.file("yes.avi"), *doc, s), 1);
  EXPECT_EQ(Probe(dir.file("yes.avi")).at(0).at("codec_name"), "rawvideo");
  EXPECT_FALSE(fs::exists(dir.file("yes.avi1.avi")));
}

TEST(AviRead, FfmpegMadeFilesOfEveryDepthAndPaletteChanges) {
  test::ScopedMessages messages;
  test::TempDir dir;
  std::string out;
  const std::vector<std::pair<std::string, int>> formats = {
      {"bgr24", 0}, {"bgra", 0}, {"rgb555le", 7}, {"rgb565le", 7}, {"pal8", 0}, {"gray", 0}};
  for (const auto& [format, tolerance] : formats) {
    const std::string path = dir.file(format + ".avi");
    ASSERT_TRUE(test::RunCapture({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=33x17:rate=10:duration=0.5",
                                  "-c:v", "rawvideo", "-pix_fmt", format, path},
                                 out))
        << format;
    LoadResult r = ReadAvi(path);
    ASSERT_EQ(r.status, 1) << format;
    ASSERT_EQ(r.document->frameCount, 5) << format;
    EXPECT_EQ(ImageAt(r.document.get(), 0)->delay, 10);
    std::vector<test::Rgba> ours;
    for (const ImageBlock* f = FirstImage(r.document.get()); f; f = NextImage(f)) ours.push_back(test::FrameRgba(*f));
    EXPECT_LE(WorstFrameDifference(ours, test::FfmpegFrames(path, 33, 17)), tolerance) << format;
  }
  // A 15-bit white pixel is 248 in each channel: the low bits stay clear.
  const std::string white = dir.file("white.avi");
  ASSERT_TRUE(test::RunCapture({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "color=white:size=4x4:rate=10:duration=0.1",
                                "-c:v", "rawvideo", "-pix_fmt", "rgb555le", white},
                               out));
  LoadResult r = ReadAvi(white);
  ASSERT_EQ(r.status, 1);
  EXPECT_EQ(TrueColourRows(*FirstImage(r.document.get()))[0], 248);

  // A palette stream whose colour table changes at the second picture: FFmpeg's muxer writes
  // the change chunk from the palette handed with the packet.
  const std::string changing = dir.file("changes.avi");
  ASSERT_TRUE(WritePaletteChanges(changing));
  r = ReadAvi(changing);
  ASSERT_EQ(r.status, 1);
  ASSERT_EQ(r.document->frameCount, 3);
  EXPECT_FALSE(FirstImage(r.document.get())->localPalette);
  ASSERT_TRUE(ImageAt(r.document.get(), 1)->localPalette);
  EXPECT_EQ((*ImageAt(r.document.get(), 1)->localPalette)[1], (Rgb{0, 0, 200}));
  EXPECT_EQ((*r.document->globalPalette)[1], (Rgb{200, 0, 0}));
  EXPECT_EQ(ImageAt(r.document.get(), 1)->indexedImage->row(0)[0], 1);
}

TEST(AviRead, DamagedAndForeignFiles) {
  test::ScopedMessages messages;
  test::TempDir dir;
  AnimPtr doc = test::NewDocument(16, 16, 64);
  for (int k = 0; k < 6; ++k) test::AddFrame(*doc, 0, 0, 16, 16, [k](int x, int y) { return (x * y + k) % 64; });
  const std::string path = dir.file("whole.avi");
  ASSERT_EQ(WriteAvi(path, *doc, Uncompressed(*doc)), 1);
  const Bytes whole = test::ReadBytes(path);
  for (size_t cut : {size_t(0), size_t(12), size_t(100), whole.size() / 3, whole.size() / 2, whole.size() - 30}) {
    test::WriteBytes(dir.file("cut.avi"), Bytes(whole.begin(), whole.begin() + long(cut)));
    messages.sink.clear();
    LoadResult r = ReadAvi(dir.file("cut.avi"));
    if (r.status == 0) {
      EXPECT_FALSE(messages.sink.entries.empty()) << cut;
    } else {
      EXPECT_GT(r.document->frameCount, 0) << cut;
    }
  }
  Bytes noise(4000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = uint8_t(i * 7919 % 251);
  test::WriteBytes(dir.file("noise.avi"), noise);
  messages.sink.clear();
  EXPECT_EQ(ReadAvi(dir.file("noise.avi")).status, 0);
  ASSERT_EQ(messages.ids().size(), 1u);
  EXPECT_EQ(messages.ids()[0], 40082);
}

// Cut short anywhere past the headers, an AVI made by FFmpeg either still yields all of its
// pictures or says that it does not: fewer frames in silence is a lie about the file.
TEST(AviRead, CutFilesSayTheyLostPictures) {
  if (!test::HaveFfmpeg()) GTEST_SKIP() << "FFmpeg not available";
  test::ScopedMessages messages;
  test::TempDir dir;
  for (const char* codec : {"mjpeg", "rawvideo"}) {
    const std::string whole = dir.file(std::string(codec) + ".avi");
    std::string out;
    ASSERT_TRUE(test::RunCapture({"ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=32x24:rate=10:duration=2",
                                  "-c:v", codec, "-pix_fmt", std::string(codec) == "mjpeg" ? "yuvj420p" : "bgr24",
                                  whole}, out));
    LoadResult complete = ReadAvi(whole);
    ASSERT_EQ(complete.status, 1) << codec;
    const int frames = complete.document->frameCount;
    const Bytes bytes = test::ReadBytes(whole);
    int partial = 0;
    for (int k = 1; k < 40; ++k) {
      const size_t cut = bytes.size() * static_cast<size_t>(k) / 40;
      test::WriteBytes(dir.file("cut.avi"), Bytes(bytes.begin(), bytes.begin() + static_cast<long>(cut)));
      messages.sink.clear();
      LoadResult r = ReadAvi(dir.file("cut.avi"));
      if (r.status == 0) {
        EXPECT_FALSE(messages.sink.entries.empty()) << codec << " cut at " << cut;
      } else if (r.status == 1) {
        EXPECT_EQ(r.document->frameCount, frames) << codec << " cut at " << cut;
        EXPECT_TRUE(messages.sink.entries.empty()) << codec << " cut at " << cut;
      } else {
        ++partial;
        EXPECT_FALSE(messages.sink.entries.empty()) << codec << " cut at " << cut;
      }
    }
    EXPECT_GT(partial, 10) << codec;  // most cuts fall inside the pictures
  }
}

TEST(AviCorpus, FfmpegGeneratedFilesMatchTheirReferenceFrames) {
  const std::string root = test::CorpusDir();
  const std::string dir = root + "/avi/ffmpeg-generated";
  if (root.empty() || !fs::is_directory(dir) || !test::HavePillow()) GTEST_SKIP() << "no corpus or Pillow";
  test::ScopedMessages messages;
  int checked = 0;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().extension() != ".avi") continue;
    const std::string name = e.path().stem().string();
    LoadResult r = ReadAvi(e.path().string());
    ASSERT_NE(r.status, 0) << name;
    std::vector<std::string> references;
    for (const auto& f : fs::directory_iterator(dir + "/reference_frames/" + name)) references.push_back(f.path().string());
    std::sort(references.begin(), references.end());
    ASSERT_EQ(size_t(r.document->frameCount), references.size()) << name;
    const std::vector<std::vector<test::Rgba>> pictures = test::PillowDecodeAll(references, true);
    // Raw pictures come out exactly; 15-bit ones (raw or Video 1) without the replicated low
    // bits; decoded
    // YUV pictures through a converter that may round differently.
    const bool fifteenBit = name.find("rgb555") != std::string::npos || name.find("msvideo1") != std::string::npos;
    const int tolerance = fifteenBit ? 7 : name.rfind("raw", 0) == 0 || name.rfind("mod", 0) == 0 ? 0 : 6;
    for (size_t i = 0; i < references.size(); ++i) {
      ASSERT_EQ(pictures[i].size(), 1u);
      EXPECT_LE(test::MaxDifference(test::FrameRgba(*ImageAt(r.document.get(), int(i))), pictures[i][0]), tolerance)
          << name << " " << i;
    }
    ++checked;
  }
  EXPECT_GE(checked, 15);
  // Empty and cut-short files.
  EXPECT_EQ(ReadAvi(root + "/avi/small/AudioVideoInterleave.avi").status, 0);
  LoadResult cut = ReadAvi(dir + "/mod_truncated_mid_movi_bgr24_bottomup.avi");
  EXPECT_EQ(cut.document->frameCount, 4);
}

}  // namespace fw
