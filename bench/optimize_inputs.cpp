// Writes the optimizer benchmark's inputs into the folder named on the command line: full,
// unoptimized frames as a plain encoder would write them. With --full-frames it instead
// writes the full-frame form of a given GIF: every frame as the viewer shows it, each one
// restoring the background when it ends, as some screen recorders write them; with
// --full-frames-local each frame also carries the palette as a local one of its own.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "imaging/transforms.h"
#include "samples/sample_drawings.h"

namespace {

// Every frame with a palette of its own: a picture fading in, each step its own 256 colours,
// more colours in all than one palette can hold.
fw::AnimPtr FadeWithLocalPalettes(int width, int height, int frames) {
  fw::AnimPtr doc = fw::CreateAnimation();
  doc->screenWidth = width;
  doc->screenHeight = height;
  for (int i = 0; i < frames; ++i) {
    const double light = 0.35 + 0.65 * i / (frames - 1);
    std::vector<fw::Rgb> colours(256);
    for (int k = 0; k < 256; ++k) {
      const double t = k / 256.0 * 6.283185307;
      colours[k] = {static_cast<uint8_t>(light * (127 + 127 * std::sin(t))),
                    static_cast<uint8_t>(light * (127 + 127 * std::sin(t + 2.094))),
                    static_cast<uint8_t>(light * (127 + 127 * std::sin(t + 4.188)))};
    }
    fw::ImagePtr frame = fw::CreateSizedImage(width, height);
    frame->delay = 6;
    fw::SetLocalPalette(*frame, fw::Palette::Create(colours.data(), 256));
    fw::SetIndexedImage(*frame, fw::AllocIndexedImage(width, height, frame->activePalette));
    for (int y = 0; y < height; ++y) {
      uint8_t* row = frame->indexedImage->row(y);
      for (int x = 0; x < width; ++x) row[x] = static_cast<uint8_t>((x + y / 2 + i * 3) / 2);
    }
    fw::AppendBlock(*doc, std::move(frame));
  }
  return doc;
}

}  // namespace

int FullFrames(const std::string& in, const std::string& out, bool localPalettes) {
  fw::ReadResult read = fw::ReadGifPath(in);
  if (read.status != fw::kReadComplete || !read.document) {
    std::fprintf(stderr, "optimize_inputs: cannot read %s\n", in.c_str());
    return 1;
  }
  fw::AnimHeader& doc = *read.document;
  if (fw::Unoptimize(doc, nullptr) <= 0) {
    std::fprintf(stderr, "optimize_inputs: cannot unoptimize %s\n", in.c_str());
    return 1;
  }
  for (fw::ImageBlock* f = fw::FirstImage(&doc); f; f = fw::NextImage(f)) {
    fw::SetDisposal(*f, fw::kDisposalBackground);
    if (localPalettes && !f->localPalette && doc.globalPalette) fw::SetLocalPalette(*f, doc.globalPalette->copy());
  }
  if (fw::WriteGifFile(out, doc, nullptr) != 1) {
    std::fprintf(stderr, "optimize_inputs: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--full-frames") return FullFrames(argv[2], argv[3], false);
  if (argc == 4 && std::string(argv[1]) == "--full-frames-local") return FullFrames(argv[2], argv[3], true);
  if (argc != 2) {
    std::fprintf(stderr, "usage: optimize_inputs OUTPUT_DIRECTORY\n       optimize_inputs --full-frames[-local] IN.gif OUT.gif\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::filesystem::create_directories(dir);
  struct Input {
    const char* name;
    fw::AnimPtr doc;
  };
  Input inputs[] = {{"video.gif", fw::samples::VideoClip(320, 240, 60)},
                    {"screen.gif", fw::samples::ScreenCapture(1024, 768, 150)},
                    {"sprite.gif", fw::samples::Sprite(100, 100, 24)},
                    {"fade-local.gif", FadeWithLocalPalettes(240, 180, 24)}};
  for (Input& input : inputs) {
    const std::string path = dir + "/" + input.name;
    if (!input.doc || fw::WriteGifFile(path, *input.doc, nullptr) != 1) {
      std::fprintf(stderr, "optimize_inputs: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
