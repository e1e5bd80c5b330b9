// The LZW encoder's clear rules on the same frames: clearing the moment the table fills (the
// plain save's stream) against the rule the optimizer settles on for each frame (keeping full
// tables a while where that measures smaller). Each GIF named on the command line is read,
// re-encoded both ways, checked (our reader and giflib must give back the same frames from
// both streams), and reported as one line: input, bytes plain, bytes with the settled rules,
// their ratio, the time to write each and its ratio (wall time of one thread, best of five
// runs), and the time settling took (every rule tried on every frame whose table fills). With --numbers first, each line holds
// only the byte counts and the seconds (plain, kept, settling), separated by spaces, for scripts.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "giflib_peer.h"
#include "imaging/optimize_lzw.h"

namespace {

using fw::AnimHeader;

// Plain, or each frame with the rule the optimizer settles on.
void SetMeasuredClear(AnimHeader& doc, bool on) {
  fw::PreferKeptLzwTables(doc, on);
  if (on) fw::SettleLzwClearing(doc);
}

// Frame data only, one thread: the encoders' own work.
int64_t EncodeFrames(const AnimHeader& doc) {
  fw::CountingSink sink;
  for (const fw::ImageBlock* f = fw::FirstImage(&doc); f; f = fw::NextImage(f))
    if (!fw::LzwEncode(sink, *f, fw::FrameMinCodeSize(*f))) return -1;
  return sink.total();
}

double BestSeconds(const AnimHeader& doc) {
  double best = 1e30;
  for (int run = 0; run < 5; ++run) {
    const auto start = std::chrono::steady_clock::now();
    if (EncodeFrames(doc) < 0) return -1;
    best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  return best;
}

bool Checked(AnimHeader& doc, const std::vector<uint64_t>& hashes, int64_t& fileBytes) {
  fw::MemorySink sink;
  if (fw::WriteGifStream(sink, doc, nullptr) != 1) return false;
  fileBytes = static_cast<int64_t>(sink.bytes.size());
  if (fw::EncodedSize(&doc, true, nullptr) < 0) return false;
  fw::ReadResult back = fw::ReadGifMemory(sink.bytes.data(), sink.bytes.size());
  if (back.status != fw::kReadComplete || fw::bench::DocumentFrameHashes(*back.document) != hashes) return false;
  std::vector<uint64_t> theirs;
  return fw::bench::GiflibDecodeSlurp(sink.bytes, &theirs) >= 0 && theirs == hashes;
}

}  // namespace

int main(int argc, char** argv) {
  const bool numbers = argc > 1 && std::string(argv[1]) == "--numbers";
  if (!numbers) {
    std::printf("| input | plain bytes | kept-table bytes | kept/plain | plain s | kept s | time kept/plain | settling s |\n");
    std::printf("|---|---|---|---|---|---|---|---|\n");
  }
  int status = 0;
  for (int i = numbers ? 2 : 1; i < argc; ++i) {
    const std::string path = argv[i];
    fw::ReadResult r = fw::ReadGifPath(path);
    if (r.status != fw::kReadComplete || !r.document) {
      std::fprintf(stderr, "lzw_clear_bench: cannot read %s\n", path.c_str());
      status = 1;
      continue;
    }
    AnimHeader& doc = *r.document;
    const std::vector<uint64_t> hashes = fw::bench::DocumentFrameHashes(doc);
    int64_t plain = 0, measured = 0;
    SetMeasuredClear(doc, false);
    const bool plainOk = Checked(doc, hashes, plain);
    const double plainSeconds = BestSeconds(doc);
    const auto settleStart = std::chrono::steady_clock::now();
    SetMeasuredClear(doc, true);
    const double settleSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - settleStart).count();
    const bool measuredOk = Checked(doc, hashes, measured);
    // Settling kept each frame's data for Save to copy; timed here is the encoder writing it.
    for (fw::ImageBlock* f = fw::FirstImage(&doc); f; f = fw::NextImage(f)) f->keptLzw.reset();
    const double measuredSeconds = BestSeconds(doc);
    if (!plainOk || !measuredOk) {
      std::fprintf(stderr, "lzw_clear_bench: %s: a stream did not decode to the same frames\n", path.c_str());
      status = 1;
    }
    const std::string name = path.substr(path.find_last_of('/') + 1);
    if (numbers) {
      std::printf("%lld %lld %.4f %.4f %.4f\n", static_cast<long long>(plain), static_cast<long long>(measured),
                  plainSeconds, measuredSeconds, settleSeconds);
      continue;
    }
    std::printf("| %s | %lld | %lld | %.4f | %.4f | %.4f | %.3f | %.4f |\n", name.c_str(),
                static_cast<long long>(plain), static_cast<long long>(measured),
                static_cast<double>(measured) / static_cast<double>(plain), plainSeconds, measuredSeconds,
                measuredSeconds / plainSeconds, settleSeconds);
  }
  return status;
}
