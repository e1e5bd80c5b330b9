#pragma once
// The input of an optimization, kept until the result is known to be smaller. Each frame's
// indexed pixels are kept as LZW data: a fraction of the planes' size, never a second full set
// of planes in fresh memory. A frame still as its file held it keeps the file's data, which
// costs no encoding; any other frame keeps the data Save writes for it.
#include <cstdint>
#include <memory>
#include <vector>

#include "core/anim_document.h"
#include "gif/gif_writer.h"
#include "gif/kept_lzw.h"

namespace fw {

class OptimizeBackup {
 public:
  // Keeps `document` as it is now; kept() is false when memory ran out.
  explicit OptimizeBackup(const AnimHeader& document);
  bool kept() const { return copy_ != nullptr; }
  // The size of the kept document with each frame's data as kept (the file's own data where it
  // was kept); -1 when it cannot be measured.
  int64_t encodedSize();
  // Whether some frame is kept as its file's data rather than as Save would write it.
  bool keepsDataAsRead() const;
  // Replaces data kept as read by the data Save writes, so that encodedSize() becomes
  // EncodedSize(force) of the kept document; frames `result` holds unchanged lend their data.
  // False when memory ran out.
  bool encodeDataAsRead(const AnimHeader& result);
  // The LZW data bytes of each kept frame, by the document's frame it was kept from.
  const MeasuredLzwBytes& inputBytes() const { return inputBytes_; }
  // Exchanges `document` with the kept one, its pixels decoded again. False, the document
  // unchanged, when memory ran out.
  bool putBack(AnimHeader& document);

 private:
  // A frame kept without its plane: the plane's header and the frame's LZW data sub-blocks,
  // either the file's (`asRead`) or encoded here (`encoded`).
  struct Packed {
    ImageBlock* frame = nullptr;  // in copy_
    std::unique_ptr<IndexedImage> image;
    int minCodeSize = 0;    // of the data kept
    int codeSizeSaved = 0;  // of the data Save writes
    std::shared_ptr<const KeptLzwStream> asRead;
    std::vector<uint8_t> encoded;
    const std::vector<uint8_t>& data() const { return asRead ? asRead->subBlocks : encoded; }
  };
  static bool Decode(const Packed& p, IndexedImage& image);
  AnimPtr copy_;
  std::vector<Packed> packed_;
  MeasuredLzwBytes inputBytes_;
};

}  // namespace fw
