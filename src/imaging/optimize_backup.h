#pragma once
// The input of an optimization, kept until the result is known to be smaller. Each frame's
// indexed pixels are kept as the LZW data Save writes for the frame: a fraction of the planes'
// size, never a second full set of planes in fresh memory, and exactly the bytes that make up
// the input's encoded size, which the never-larger check needs anyway.
#include <cstdint>
#include <memory>
#include <vector>

#include "core/anim_document.h"
#include "gif/gif_writer.h"

namespace fw {

class OptimizeBackup {
 public:
  // Keeps `document` as it is now; kept() is false when memory ran out.
  explicit OptimizeBackup(const AnimHeader& document);
  bool kept() const { return copy_ != nullptr; }
  // EncodedSize(force) of the kept document; -1 when it cannot be measured.
  int64_t encodedSize();
  // The LZW data bytes of each kept frame, by the document's frame it was kept from.
  const MeasuredLzwBytes& inputBytes() const { return inputBytes_; }
  // Exchanges `document` with the kept one, its pixels decoded again. False, the document
  // unchanged, when memory ran out.
  bool putBack(AnimHeader& document);

 private:
  // A frame kept without its plane: the plane's header and the frame's LZW data sub-blocks.
  struct Packed {
    ImageBlock* frame = nullptr;  // in copy_
    std::unique_ptr<IndexedImage> image;
    int minCodeSize = 0;
    std::vector<uint8_t> data;
  };
  AnimPtr copy_;
  std::vector<Packed> packed_;
  MeasuredLzwBytes inputBytes_;
};

}  // namespace fw
