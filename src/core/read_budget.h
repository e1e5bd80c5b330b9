#pragma once
// What one read may make beyond what its file holds, and how large a document may grow.
//
// A few bytes of a file can claim pictures of gigabytes: a frame whose data stops early is kept
// with the rest of it blank, a step or an entry may name the same picture again and again, a
// layer may have no data at all. What a file's data really produces is never limited here (that
// is what the document limit is for); only the part of the pictures that the data cannot account
// for is counted, in bytes of picture planes, against one limit per read.
//
// The pixels of all frames of one document are limited too (a preference): a reader stops once
// the frames it makes would take the document past the limit, keeping the frames before.
#include <cstdint>

namespace fw {

struct AnimHeader;

inline constexpr uint64_t kDefaultMaxUnbackedBytes = uint64_t{1} << 26;
inline constexpr int64_t kDefaultDocumentPixelLimit = int64_t{1} << 30;

// Bytes of picture planes one read may make that its file's data cannot have produced; tests
// and fuzzers lower it.
uint64_t MaxUnbackedBytes();
void SetMaxUnbackedBytes(uint64_t bytes);

// The most pixels the frames of one document may have together.
int64_t DocumentPixelLimit();
void SetDocumentPixelLimit(int64_t pixels);

// Pixels in the frames of a document (each frame's stored width x height).
int64_t DocumentPixels(const AnimHeader& document);

// While alive, the reads of this thread add to a document that already holds `pixels` (inserting
// into an open animation, a batch run reading several files into one).
class PixelsAlreadyHeld {
 public:
  explicit PixelsAlreadyHeld(int64_t pixels);
  ~PixelsAlreadyHeld();
  PixelsAlreadyHeld(const PixelsAlreadyHeld&) = delete;
  PixelsAlreadyHeld& operator=(const PixelsAlreadyHeld&) = delete;

 private:
  int64_t previous_;
};
int64_t HeldPixels();

// The most bytes `bytes` of deflate (zlib) data can inflate to: a stored length code makes 258
// bytes from a single bit at best, a little over 1032 bytes per byte.
constexpr uint64_t MostBytesFromDeflate(uint64_t bytes) { return bytes * 1033 + 258; }

class ReadBudget {
 public:
  // A picture needing `bytes` of planes, of which the file's data can account for `backedBytes`.
  // False, counting nothing, when the rest would take the read past its limit; says nothing
  // (see refuseUnbacked).
  bool admitUnbacked(uint64_t bytes, uint64_t backedBytes = 0);
  // The refusal of admitUnbacked, naming the limit.
  static void refuseUnbacked();
  // A frame of `pixels` joining the document. False, counting nothing, after a message naming
  // the numbers when the document would pass its limit.
  bool admitFrame(int64_t pixels);

 private:
  uint64_t unbacked_ = 0;
  int64_t pixels_ = 0;
};

// The budget of the read in progress on this thread. The outermost scope owns a fresh budget;
// a read nested inside another (a PNG or DIB picture inside an icon, an icon inside an animated
// cursor) shares the outer one, so that a file cannot multiply its allowance by nesting.
class ReadBudgetScope {
 public:
  ReadBudgetScope();
  ~ReadBudgetScope();
  ReadBudgetScope(const ReadBudgetScope&) = delete;
  ReadBudgetScope& operator=(const ReadBudgetScope&) = delete;

  bool admitUnbacked(uint64_t bytes, uint64_t backedBytes = 0) { return active_->admitUnbacked(bytes, backedBytes); }
  // Frames are counted by the read that keeps them: a nested read's frames are admitted by the
  // outer read when it takes them over.
  bool admitFrame(int64_t pixels) { return previous_ || active_->admitFrame(pixels); }

 private:
  ReadBudget own_;
  ReadBudget* previous_;
  ReadBudget* active_;
};

}  // namespace fw
