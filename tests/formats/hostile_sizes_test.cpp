// Small files that claim huge pictures or counts: each reader refuses them, or keeps the frames
// it could make within its budget, before anything large is allocated. Every read runs in a
// child process whose address space is capped a little above what it already uses, so a
// reader that tried to make what the file claims would fail with the wrong message or none.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "core/message_sink.h"
#include "core/read_budget.h"
#include "formats/ani_file.h"
#include "formats/bmp_file.h"
#include "formats/icon_file.h"
#include "formats/png_file.h"
#include "formats/psd_file.h"

namespace fw {
namespace {

using Bytes = std::vector<uint8_t>;

void Le16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void Le32(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)}); }
void Be16(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 8), uint8_t(v)}); }
void Be32(Bytes& b, uint32_t v) { b.insert(b.end(), {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)}); }
void Append(Bytes& b, const Bytes& more) { b.insert(b.end(), more.begin(), more.end()); }

void PngChunk(Bytes& out, const char* type, const Bytes& body) {
  Be32(out, static_cast<uint32_t>(body.size()));
  Bytes typed(type, type + 4);
  Append(typed, body);
  Append(out, typed);
  Be32(out, static_cast<uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size()))));
}

// A PNG of one colour whose image data holds only its first `rowsPresent` rows; with
// `animationFrames` an acTL claiming that many frames and the fcTL of the first.
Bytes Png(uint32_t width, uint32_t height, int colourType, uint32_t rowsPresent, uint32_t animationFrames = 0) {
  Bytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  Bytes ihdr;
  Be32(ihdr, width);
  Be32(ihdr, height);
  ihdr.insert(ihdr.end(), {8, uint8_t(colourType), 0, 0, 0});
  PngChunk(out, "IHDR", ihdr);
  if (animationFrames) {
    Bytes actl, fctl;
    Be32(actl, animationFrames);
    Be32(actl, 0);
    PngChunk(out, "acTL", actl);
    for (uint32_t v : {0u, width, height, 0u, 0u}) Be32(fctl, v);
    fctl.insert(fctl.end(), {0, 1, 0, 100, 0, 0});
    PngChunk(out, "fcTL", fctl);
  }
  const size_t channels = colourType == 6 ? 4 : colourType == 2 ? 3 : 1;
  Bytes raw(size_t{rowsPresent} * (1 + width * channels), 0x7F);
  for (size_t row = 0; row < rowsPresent; ++row) raw[row * (1 + width * channels)] = 0;  // no filter
  Bytes packed(compressBound(static_cast<uLong>(raw.size())));
  uLongf packedSize = static_cast<uLongf>(packed.size());
  compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
  packed.resize(packedSize);
  PngChunk(out, "IDAT", packed);
  PngChunk(out, "IEND", {});
  return out;
}

// An icon or cursor file whose `count` directory entries all point at the one image.
Bytes IconFile(int type, uint32_t count, const Bytes& image) {
  Bytes out;
  Le16(out, 0);
  Le16(out, static_cast<uint32_t>(type));
  Le16(out, count);
  const uint32_t offset = 6 + 16 * count;
  for (uint32_t i = 0; i < count; ++i) {
    out.insert(out.end(), {0, 0, 0, 0});  // 256 x 256, no colour count, reserved
    Le16(out, 1);
    Le16(out, 32);
    Le32(out, static_cast<uint32_t>(image.size()));
    Le32(out, offset);
  }
  Append(out, image);
  return out;
}

void RiffChunk(Bytes& out, const char* id, const Bytes& body) {
  out.insert(out.end(), id, id + 4);
  Le32(out, static_cast<uint32_t>(body.size()));
  Append(out, body);
  if (body.size() % 2) out.push_back(0);
}

// An animated cursor of one 64 x 64 cursor shown for `steps` steps.
Bytes Ani(uint32_t steps) {
  Bytes anih, frames = {'f', 'r', 'a', 'm'}, sequence(size_t{steps} * 4, 0), body = {'A', 'C', 'O', 'N'};
  for (uint32_t v : {36u, 1u, steps, 64u, 64u, 32u, 1u, 6u, 1u}) Le32(anih, v);
  RiffChunk(frames, "icon", IconFile(2, 1, Png(64, 64, 6, 64)));
  RiffChunk(body, "anih", anih);
  RiffChunk(body, "LIST", frames);
  RiffChunk(body, "seq ", sequence);
  Bytes out;
  RiffChunk(out, "RIFF", body);
  return out;
}

// A 24-bit bitmap whose pixel data is missing altogether.
Bytes BmpWithoutPixels(int32_t width, int32_t height) {
  Bytes out = {'B', 'M'};
  Le32(out, 54);
  Le32(out, 0);
  Le32(out, 54);
  for (uint32_t v : {40u, uint32_t(width), uint32_t(height)}) Le32(out, v);
  Le16(out, 1);
  Le16(out, 24);
  for (int i = 0; i < 6; ++i) Le32(out, 0);
  return out;
}

// An RGB document with one canvas-sized layer whose three channels hold no data.
Bytes PsdEmptyLayer(uint32_t width, uint32_t height) {
  Bytes out = {'8', 'B', 'P', 'S'};
  Be16(out, 1);
  out.insert(out.end(), 6, 0);
  Be16(out, 3);
  Be32(out, height);
  Be32(out, width);
  Be16(out, 8);
  Be16(out, 3);
  Be32(out, 0);  // colour mode data
  Be32(out, 0);  // image resources
  Bytes layers;
  Be16(layers, 1);
  for (uint32_t v : {0u, 0u, height, width}) Be32(layers, v);
  Be16(layers, 3);
  for (int c = 0; c < 3; ++c) {
    Be16(layers, static_cast<uint32_t>(c));
    Be32(layers, 2);  // the compression word and nothing after it
  }
  for (const char* s : {"8BIM", "norm"}) layers.insert(layers.end(), s, s + 4);
  layers.insert(layers.end(), {255, 0, 0, 0});
  Be32(layers, 0);
  layers.insert(layers.end(), 6, 0);  // three channels, each only its compression word
  Bytes section;
  Be32(section, static_cast<uint32_t>(layers.size()));
  Append(section, layers);
  Be32(section, 0);  // global mask
  Be32(out, static_cast<uint32_t>(section.size()));
  Append(out, section);
  Be16(out, 0);  // raw composite with no data
  return out;
}

struct Outcome {
  bool finished = false;  // the child ended normally and reported
  int status = -1;
  int frames = 0;
  std::string messages;
};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kCapAddressSpace = false;  // the sanitizers reserve terabytes of address space
#else
constexpr bool kCapAddressSpace = true;
#endif
// What a read may add to the child's address space: the 256 MB any small file may cost.
constexpr uint64_t kHeadroom = uint64_t{256} << 20;

uint64_t AddressSpaceInUse() {
  unsigned long long pages = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%llu", &pages) != 1) pages = 0;
    std::fclose(f);
  }
  return pages * static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
}

Outcome ReadInCappedChild(const std::function<LoadResult()>& read) {
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    if (kCapAddressSpace) {
      const rlimit cap{AddressSpaceInUse() + kHeadroom, AddressSpaceInUse() + kHeadroom};
      setrlimit(RLIMIT_AS, &cap);
    }
    RecordingMessageSink sink;
    SetMessageSink(&sink);
    const LoadResult r = read();
    std::string report = std::to_string(r.status) + " " + std::to_string(r.document ? r.document->frameCount : 0) + "\n";
    for (const std::string& text : sink.texts()) report += text + "\n";
    const bool written = write(pipeEnds[1], report.data(), report.size()) == static_cast<ssize_t>(report.size());
    _exit(written ? 0 : 1);
  }
  close(pipeEnds[1]);
  std::string report;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) report.append(buffer, static_cast<size_t>(n));
  close(pipeEnds[0]);
  int wait = 0;
  waitpid(child, &wait, 0);
  Outcome o;
  o.finished = WIFEXITED(wait) && WEXITSTATUS(wait) == 0;
  if (std::sscanf(report.c_str(), "%d %d", &o.status, &o.frames) != 2) o.finished = false;
  o.messages = report.substr(std::min(report.size(), report.find('\n') + 1));
  return o;
}

struct HostileCase {
  const char* name;
  std::function<Bytes()> make;
  std::function<LoadResult(const Bytes&)> read;
  const char* message;  // part of the refusal
  int fewestFrames, mostFrames;  // frames kept
};

void PrintTo(const HostileCase& c, std::ostream* os) { *os << c.name; }

LoadResult ReadPsd(const Bytes& b) { return ReadPsdMemory(b.data(), b.size(), true, nullptr); }

const char kUnbacked[] = "cannot fill";

class HostileSizes : public testing::TestWithParam<HostileCase> {};

TEST_P(HostileSizes, RefusedWithinBoundedMemory) {
  const HostileCase& c = GetParam();
  const Bytes file = c.make();
  ASSERT_LT(file.size(), size_t{2} << 20);
  const Outcome o = ReadInCappedChild([&] { return c.read(file); });
  ASSERT_TRUE(o.finished) << o.messages;
  EXPECT_NE(o.messages.find(c.message), std::string::npos) << o.messages;
  EXPECT_GE(o.frames, c.fewestFrames) << o.messages;
  EXPECT_LE(o.frames, c.mostFrames) << o.messages;
  if (o.frames > 0) {
    EXPECT_NE(o.status, kReadFailed);
  }
}

INSTANTIATE_TEST_SUITE_P(
    EveryReader, HostileSizes,
    testing::Values(
        // 300,000 steps of a 64 x 64 cursor would be 6 GB; the steps within the budget stay.
        HostileCase{"AniRepeatedSteps", [] { return Ani(300000); },
                    [](const Bytes& b) { return ReadAniMemory(b.data(), b.size()); }, kUnbacked, 100, 20000},
        // 5,000 directory entries sharing one 256 x 256 picture.
        HostileCase{"IconSharedEntries", [] { return IconFile(1, 5000, Png(256, 256, 6, 256)); },
                    [](const Bytes& b) { return ReadIconMemory(b.data(), b.size()); }, kUnbacked, 10, 4999},
        HostileCase{"BmpMissingRows", [] { return BmpWithoutPixels(15000, 15000); },
                    [](const Bytes& b) { return ReadBmpMemory(b.data(), b.size()); }, kUnbacked, 0, 0},
        HostileCase{"PngMissingRows", [] { return Png(15000, 15000, 2, 1); },
                    [](const Bytes& b) { return ReadPngBytes(b.data(), b.size()); }, kUnbacked, 0, 0},
        HostileCase{"PsdLayerWithoutData", [] { return PsdEmptyLayer(15000, 15000); }, ReadPsd, kUnbacked, 0, 0},
        // The frame count is only a claim: the one frame there is loads, the rest are missing.
        HostileCase{"ApngClaimingFrames", [] { return Png(64, 64, 2, 64, 0x7FFFFFFF); },
                    [](const Bytes& b) { return ReadPngBytes(b.data(), b.size()); }, "PNG", 1, 1},
        HostileCase{"BmpOverPictureLimit", [] { return BmpWithoutPixels(60000, 60000); },
                    [](const Bytes& b) { return ReadBmpMemory(b.data(), b.size()); }, "60000 x 60000", 0, 0}),
    [](const testing::TestParamInfo<HostileCase>& info) { return std::string(info.param.name); });

// The document's pixel limit stops a read at the frame that would pass it, counting what the
// document already holds, and says how large the document would have been.
TEST(DocumentPixelLimit, KeepsTheFramesBeforeTheLimit) {
  struct LimitScope {
    explicit LimitScope(int64_t pixels) { SetDocumentPixelLimit(pixels); }
    ~LimitScope() { SetDocumentPixelLimit(kDefaultDocumentPixelLimit); }
  } limit(5 * 4096 + 100);
  const Bytes ani = Ani(8);
  for (const int64_t held : {int64_t{0}, int64_t{2 * 4096}}) {
    RecordingMessageSink sink;
    MessageSink* previous = SetMessageSink(&sink);
    LoadResult r;
    {
      PixelsAlreadyHeld already(held);
      r = ReadAniMemory(ani.data(), ani.size());
    }
    SetMessageSink(previous);
    ASSERT_TRUE(r.document) << testing::PrintToString(sink.texts());
    EXPECT_EQ(r.status, kReadPartial);
    EXPECT_EQ(r.document->frameCount, held ? 3 : 5);
    ASSERT_FALSE(sink.texts().empty());
    EXPECT_NE(sink.texts().front().find("(20580 pixels)"), std::string::npos) << sink.texts().front();
  }
}

}  // namespace
}  // namespace fw
