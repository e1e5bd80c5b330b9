#include "formats/rle8_encoder.h"

#include <algorithm>
#include <cstring>

namespace fw {
namespace {

// Unchanged pixels shorter than this are cheaper to redraw than to skip.
constexpr int kShortestSkip = 4;

class Rle8Writer {
 public:
  explicit Rle8Writer(std::vector<uint8_t>& out) : out_(out) {}

  // Moves the pen (bottom-up line, column) forward to where the next pixels go.
  void moveTo(int line, int x) {
    if (line > line_ && pos_ != 0) {
      escape(0);  // end of line
      ++line_;
      pos_ = 0;
    }
    while (line_ < line) {
      const int dy = std::min(255, line - line_);
      delta(0, dy);
      line_ += dy;
    }
    while (pos_ < x) {
      const int dx = std::min(255, x - pos_);
      delta(dx, 0);
      pos_ += dx;
    }
  }

  // Codes pixels [a, b) of a row as runs and literal stretches.
  void span(const uint8_t* row, int a, int b) {
    int x = a;
    while (x < b) {
      int run = 1;
      while (x + run < b && run < 255 && row[x + run] == row[x]) ++run;
      if (run >= 2) {
        out_.push_back(static_cast<uint8_t>(run));
        out_.push_back(row[x]);
        x += run;
        continue;
      }
      const int start = x;
      int n = 0;
      while (x < b && n < 255) {
        if (x + 2 < b && row[x] == row[x + 1] && row[x + 1] == row[x + 2]) break;
        ++x;
        ++n;
      }
      if (n >= 3) {
        out_.push_back(0);
        out_.push_back(static_cast<uint8_t>(n));
        out_.insert(out_.end(), row + start, row + start + n);
        if (n & 1) out_.push_back(0);  // literals end on a 16-bit boundary
      } else {
        for (int i = start; i < start + n; ++i) {
          out_.push_back(1);
          out_.push_back(row[i]);
        }
      }
    }
    pos_ = b;
  }

  void finish() { escape(1); }

 private:
  void escape(uint8_t code) {
    out_.push_back(0);
    out_.push_back(code);
  }
  void delta(int dx, int dy) {
    escape(2);
    out_.push_back(static_cast<uint8_t>(dx));
    out_.push_back(static_cast<uint8_t>(dy));
  }

  std::vector<uint8_t>& out_;
  int line_ = 0, pos_ = 0;
};

}  // namespace

std::vector<uint8_t> EncodeRle8(const uint8_t* pixels, size_t stride, int width, int height, const uint8_t* previous) {
  std::vector<uint8_t> out;
  Rle8Writer writer(out);
  for (int line = 0; line < height; ++line) {
    const size_t y = static_cast<size_t>(height - 1 - line);
    const uint8_t* row = pixels + y * stride;
    if (!previous) {
      writer.moveTo(line, 0);
      writer.span(row, 0, width);
      continue;
    }
    const uint8_t* old = previous + y * stride;
    int x = 0;
    while (x < width) {
      while (x < width && row[x] == old[x]) ++x;
      if (x == width) break;
      // The changed stretch goes on across short unchanged gaps.
      int end = x + 1;
      for (;;) {
        while (end < width && row[end] != old[end]) ++end;
        int gap = end;
        while (gap < width && row[gap] == old[gap]) ++gap;
        if (gap == width || gap - end >= kShortestSkip) break;
        end = gap;
      }
      writer.moveTo(line, x);
      writer.span(row, x, end);
      x = end;
    }
  }
  writer.finish();
  return out;
}

}  // namespace fw
