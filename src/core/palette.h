#pragma once
// Palette: 1 to 256 RGB entries owned by exactly one document (global) or one frame (local).
#include <cstdint>
#include <memory>
#include <vector>

namespace fw {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

class Palette {
 public:
  static constexpr int kMaxEntries = 256;

  // nullptr when count is outside 1..256 or memory runs out.
  static std::unique_ptr<Palette> Create(const Rgb* entries, int count);
  // Entries from packed R,G,B triplets.
  static std::unique_ptr<Palette> FromTriplets(const uint8_t* rgb, int count);

  int count() const { return static_cast<int>(entries_.size()); }
  const Rgb& operator[](int i) const { return entries_[static_cast<size_t>(i)]; }
  const Rgb* data() const { return entries_.data(); }

  // Copies out or in `n` entries starting at `first`; ranges beyond the palette are cut.
  int readEntries(int first, int n, Rgb* out) const;
  int writeEntries(int first, int n, const Rgb* in);

  // Index of the colour at the smallest squared distance; ties go to the lower index.
  int nearest(Rgb c) const;
  std::unique_ptr<Palette> copy() const;

  bool sameEntries(const Palette& other) const { return entries_ == other.entries_; }

 private:
  explicit Palette(std::vector<Rgb> e) : entries_(std::move(e)) {}
  std::vector<Rgb> entries_;
};

// Smallest b >= 1 with 2^b >= count.
int PaletteBits(int count);

}  // namespace fw
