#pragma once
// A small SWF (version 4) writer: a movie collects bitmaps, each shown as a rectangle filled
// with it for a number of movie frames, and serialises them with bit-packed records.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace fw::swf {

// Writes values most significant bit first, as SWF records are packed.
class BitWriter {
 public:
  explicit BitWriter(std::vector<uint8_t>& out) : out_(out) {}
  void bits(uint32_t value, int count);
  void signedBits(int32_t value, int count) { bits(static_cast<uint32_t>(value), count); }
  // Pads the current byte with zero bits.
  void align();

 private:
  std::vector<uint8_t>& out_;
  uint32_t pending_ = 0;
  int pendingBits_ = 0;
};

// Bits a signed field needs to hold every value given (0 when all are 0).
int SignedBitsFor(std::initializer_list<int32_t> values);

// How an image leaves the stage after its last frame: 0 it stays; 1 and 2 it is removed.
inline constexpr int kStays = 0;

// Tag codes.
inline constexpr int kTagEnd = 0;
inline constexpr int kTagShowFrame = 1;
inline constexpr int kTagRemoveObject = 5;
inline constexpr int kTagDefineBitsLossless = 20;
inline constexpr int kTagDefineBitsJpeg2 = 21;
inline constexpr int kTagPlaceObject2 = 26;
inline constexpr int kTagDefineShape3 = 32;
inline constexpr int kTagDefineBitsLossless2 = 36;

class Movie {
 public:
  // The stage size fixes the twips per pixel: 20 for small stages, less for stages so large
  // that their coordinates would not fit the fields otherwise.
  Movie(int stageWidth, int stageHeight);

  int twipsPerPixel() const { return twips_; }

  // An 8-bit image: rows of `stride` bytes, a palette of `colours` red-green-blue triplets,
  // `transparent` the clear index or -1. It is shown for `frames` movie frames.
  bool addIndexed(int frames, int removal, int width, int height, int left, int top, const uint8_t* pixels,
                  size_t stride, const uint8_t* palette, int colours, int transparent);
  // Blue-green-red rows with an alpha plane.
  bool addTrueColour(int frames, int removal, int width, int height, int left, int top, const uint8_t* bgr,
                     size_t stride, const uint8_t* alpha, size_t alphaStride);
  // A complete JPEG stream.
  bool addJpeg(int frames, int removal, int width, int height, int left, int top, const std::vector<uint8_t>& jpeg);

  int frameCount() const { return static_cast<int>(frames_.size()); }
  // The whole file: header, every frame's tags each closed by ShowFrame, End.
  std::vector<uint8_t> serialise(int stageWidth, int stageHeight, int frameRate) const;
  // 0 when the file cannot be created or written.
  int write(const std::string& path, int stageWidth, int stageHeight, int frameRate) const;

 private:
  struct Tag {
    int code = 0;
    std::vector<uint8_t> body;
    int shape = 0;  // PlaceObject2 and RemoveObject: the shape whose depth is filled in later
  };

  void place(int frames, int removal, int width, int height, int left, int top, Tag bitmap, int bitmapId);
  std::vector<Tag>& frame(int index);

  int twips_;
  int counter_ = -1;
  int nextId_ = 1;
  std::vector<std::vector<Tag>> frames_;
  std::vector<int> shapes_;  // in the order they were defined
};

}  // namespace fw::swf
