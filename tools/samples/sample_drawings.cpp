#include "samples/sample_drawings.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace fw::samples {
namespace {

std::unique_ptr<Palette> MakePalette(int count, Rgb (*colour)(int)) {
  std::vector<Rgb> entries(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) entries[static_cast<size_t>(i)] = colour(i);
  return Palette::Create(entries.data(), count);
}

Rgb Rainbow(int i) {
  const double t = i / 256.0 * 6.283185307;
  return {static_cast<uint8_t>(127 + 127 * std::sin(t)), static_cast<uint8_t>(127 + 127 * std::sin(t + 2.094)),
          static_cast<uint8_t>(127 + 127 * std::sin(t + 4.188))};
}

Rgb Ramp(int i) { return {static_cast<uint8_t>(i), static_cast<uint8_t>((i * 3) & 255), static_cast<uint8_t>(255 - i)}; }

AnimPtr NewDocument(int width, int height, std::unique_ptr<Palette> global, int playCount) {
  AnimPtr doc = CreateAnimation();
  doc->screenWidth = width;
  doc->screenHeight = height;
  doc->playCount = playCount;
  SetGlobalPalette(*doc, std::move(global));
  return doc;
}

// Small deterministic generator so the inputs are the same on every machine.
struct Lcg {
  uint32_t state;
  uint32_t next() { return state = state * 1664525u + 1013904223u; }
};

}  // namespace

ImageBlock& AddFrame(AnimHeader& doc, int left, int top, int width, int height, int delay) {
  ImagePtr frame = CreateSizedImage(width, height);
  frame->left = left;
  frame->top = top;
  frame->delay = delay;
  frame->activePalette = doc.globalPalette.get();
  SetIndexedImage(*frame, AllocIndexedImage(width, height, frame->activePalette));
  ImageBlock& ref = *frame;
  AppendBlock(doc, std::move(frame));
  return ref;
}

AnimPtr BouncingBall() {
  static const Rgb colours[4] = {{255, 255, 255}, {200, 30, 30}, {120, 10, 10}, {255, 200, 200}};
  AnimPtr doc = NewDocument(160, 120, Palette::Create(colours, 4), 0);
  const int size = 24;
  for (int i = 0; i < 16; ++i) {
    const double t = i / 16.0;
    const int x = static_cast<int>(8 + t * (160 - size - 16));
    const int y = static_cast<int>(120 - size - std::abs(std::sin(t * 6.283185307)) * 80);
    ImageBlock& f = AddFrame(*doc, x, y, size, size, 6);
    SetTransparency(f, true);
    SetTransparentIndex(f, 0);
    SetDisposal(f, kDisposalBackground);
    for (int py = 0; py < size; ++py) {
      uint8_t* row = f.indexedImage->row(py);
      for (int px = 0; px < size; ++px) {
        const double dx = px - size / 2 + 0.5, dy = py - size / 2 + 0.5;
        const double d = std::sqrt(dx * dx + dy * dy);
        row[px] = d > size / 2.0 ? 0 : (dx + dy < -6 ? 3 : (d > size / 2.0 - 3 ? 2 : 1));
      }
    }
  }
  return doc;
}

AnimPtr Spinner() {
  AnimPtr doc = NewDocument(96, 96, MakePalette(256, Rainbow), 0);
  for (int i = 0; i < 12; ++i) {
    ImageBlock& f = AddFrame(*doc, 0, 0, 96, 96, 8);
    if (i == 6) {
      // One frame in inverted colours through its own palette.
      SetLocalPalette(f, MakePalette(256, [](int k) {
                        const Rgb c = Rainbow(k);
                        return Rgb{static_cast<uint8_t>(255 - c.r), static_cast<uint8_t>(255 - c.g),
                                   static_cast<uint8_t>(255 - c.b)};
                      }));
      SetColourTable(*f.indexedImage, f.activePalette);
    }
    for (int y = 0; y < 96; ++y) {
      uint8_t* row = f.indexedImage->row(y);
      for (int x = 0; x < 96; ++x) {
        const double angle = std::atan2(y - 48, x - 48);
        const double r = std::hypot(x - 48, y - 48);
        const int hue = static_cast<int>((angle / 6.283185307 + 0.5) * 256 + i * 256 / 12) & 255;
        row[x] = (r < 14 || r > 44) ? 0 : static_cast<uint8_t>(hue);
      }
    }
  }
  return doc;
}

AnimPtr InterlacedPicture() {
  AnimPtr doc = NewDocument(120, 90, MakePalette(256, Ramp), 1);
  ImageBlock& f = AddFrame(*doc, 0, 0, 120, 90, 0);
  SetInterlaced(f, true);
  for (int y = 0; y < 90; ++y)
    for (int x = 0; x < 120; ++x) f.indexedImage->row(y)[x] = static_cast<uint8_t>(((x * 2 + y) & 255) ^ (y % 10 < 2 ? 128 : 0));
  return doc;
}

AnimPtr CommentedAnimation() {
  static const Rgb colours[2] = {{0, 0, 0}, {255, 220, 0}};
  AnimPtr doc = NewDocument(64, 64, Palette::Create(colours, 2), 0);
  for (int i = 0; i < 2; ++i) {
    ImageBlock& f = AddFrame(*doc, 0, 0, 64, 64, 50);
    for (int y = 0; y < 64; ++y)
      for (int x = 0; x < 64; ++x) f.indexedImage->row(y)[x] = ((x / 8 + y / 8 + i) & 1);
    if (i == 0) {
      auto comment = CreateExtensionBlock(block_kind::kComment);
      SetCommentText(*comment, "Drawn by the Framewright sample generator");
      AppendBlock(*doc, std::move(comment));
    }
  }
  return doc;
}

AnimPtr VideoClip(int width, int height, int frames) {
  AnimPtr doc = NewDocument(width, height, MakePalette(256, Rainbow), 0);
  Lcg noise{12345};
  for (int i = 0; i < frames; ++i) {
    ImageBlock& f = AddFrame(*doc, 0, 0, width, height, 4);
    // Smooth moving gradients with a little sensor noise, like decoded video.
    for (int y = 0; y < height; ++y) {
      uint8_t* row = f.indexedImage->row(y);
      for (int x = 0; x < width; ++x) {
        const int v = (x + 2 * i) / 3 + (y + i) / 5 + static_cast<int>((noise.next() >> 29));
        row[x] = static_cast<uint8_t>(v);
      }
    }
  }
  return doc;
}

AnimPtr ScreenCapture(int width, int height, int frames) {
  AnimPtr doc = NewDocument(width, height, MakePalette(256, Ramp), 0);
  for (int i = 0; i < frames; ++i) {
    ImageBlock& f = AddFrame(*doc, 0, 0, width, height, 10);
    // Flat windows, text-like stripes and a moving pointer: few colours, long runs.
    for (int y = 0; y < height; ++y) {
      uint8_t* row = f.indexedImage->row(y);
      for (int x = 0; x < width; ++x) {
        uint8_t v = (x < 240) ? 20 : (y < 40 ? 60 : 250);
        if (x >= 300 && x < 1500 && y >= 100 && y < 900 && (y % 18) < 10 && ((x * 7 + y) % 23) < 9) v = 5;
        const int px = 400 + i * 40, py = 300 + i * 20;
        if (x >= px && x < px + 12 && y >= py && y < py + 18 && x - px <= y - py) v = 0;
        row[x] = v;
      }
    }
  }
  return doc;
}

AnimPtr Sprite(int width, int height, int frames) {
  AnimPtr doc = NewDocument(width, height, MakePalette(16, [](int i) { return Rainbow(i * 16); }), 0);
  for (int i = 0; i < frames; ++i) {
    ImageBlock& f = AddFrame(*doc, 0, 0, width, height, 5);
    SetTransparency(f, true);
    for (int y = 0; y < height; ++y) {
      uint8_t* row = f.indexedImage->row(y);
      for (int x = 0; x < width; ++x) {
        const double dx = x - width / 2.0, dy = y - height / 2.0;
        const double r = std::sqrt(dx * dx + dy * dy);
        const double a = std::atan2(dy, dx) + i * 0.125;
        row[x] = r > width * 0.45 ? 0 : static_cast<uint8_t>(1 + (static_cast<int>(a * 3 + r / 6) & 15) % 15);
      }
    }
  }
  return doc;
}

}  // namespace fw::samples
