#include "imaging/optimize_backup.h"

#include <algorithm>
#include <new>
#include <unordered_map>

#include "core/display_mask.h"
#include "core/parallel_for.h"
#include "core/undo_history.h"
#include "gif/byte_sink.h"
#include "gif/lzw_decoder.h"

namespace fw {
namespace {

// Planes that decoding gives back byte for byte: exactly the frame's size, padding clear.
// Others are copied as they are.
bool DecodesBack(const ImageBlock& f) {
  if (!f.indexedImage || f.width <= 0 || f.height <= 0) return false;
  const IndexedImage& image = *f.indexedImage;
  if (image.width != f.width || image.height != f.height) return false;
  const size_t stride = image.stride(), width = static_cast<size_t>(f.width);
  if (image.pixels.size() != stride * static_cast<size_t>(f.height)) return false;
  if (stride == width) return true;
  for (int y = 0; y < f.height; ++y)
    for (size_t x = width; x < stride; ++x)
      if (image.row(y)[x] != 0) return false;
  return true;
}

std::unique_ptr<IndexedImage> HeaderOf(const IndexedImage& image) {
  auto header = std::make_unique<IndexedImage>();
  header->width = image.width;
  header->height = image.height;
  header->bitCount = image.bitCount;
  header->colourTable = image.colourTable;
  return header;
}

}  // namespace

OptimizeBackup::OptimizeBackup(const AnimHeader& document) {
  try {
    std::vector<const ImageBlock*> originals;
    AnimPtr copy = CopyAnimationLeavingOutPixels(document, [&](const ImageBlock& f) {
      if (!DecodesBack(f)) return false;
      originals.push_back(&f);
      return true;
    });
    if (!copy) return;
    packed_.resize(originals.size());
    // The copy's frames follow the document's, so the k-th frame left without pixels is the
    // k-th original picked.
    size_t next = 0;
    const ImageBlock* source = FirstImage(&document);
    for (ImageBlock* f = FirstImage(copy.get()); f && source; f = NextImage(f), source = NextImage(source))
      if (next < originals.size() && originals[next] == source) packed_[next++].frame = f;
    if (next != originals.size()) return;
    std::vector<char> ok(originals.size(), 0);
    uint64_t pixels = 0;
    for (const ImageBlock* f : originals) pixels += f->pixelCount();
    ParallelForPixels(originals.size(), pixels, [&](size_t i) {
      const ImageBlock& f = *originals[i];
      Packed& p = packed_[i];
      try {
        p.image = HeaderOf(*f.indexedImage);
        p.codeSizeSaved = FrameMinCodeSize(f);
        p.asRead = ReadLzwData(f);
        if (p.asRead) {
          p.minCodeSize = p.asRead->minCodeSize;
          ok[i] = 1;
          return;
        }
        p.minCodeSize = p.codeSizeSaved;
        MemorySink sink;
        ok[i] = LzwEncode(sink, f, p.minCodeSize);
        p.encoded = std::move(sink.bytes);
      } catch (const std::bad_alloc&) {
        ok[i] = 0;
      }
    });
    for (const char good : ok)
      if (!good) return;
    for (size_t i = 0; i < originals.size(); ++i)
      inputBytes_.emplace(originals[i], static_cast<int64_t>(packed_[i].data().size()));
    copy_ = std::move(copy);
  } catch (const std::bad_alloc&) {
    copy_.reset();
  }
}

int64_t OptimizeBackup::encodedSize() {
  if (!copy_) return -1;
  MeasuredLzwBytes measured;
  for (const Packed& p : packed_) measured.emplace(p.frame, static_cast<int64_t>(p.data().size()));
  return EncodedSizeMeasured(copy_.get(), measured, nullptr);
}

bool OptimizeBackup::keepsDataAsRead() const {
  return std::any_of(packed_.begin(), packed_.end(), [](const Packed& p) { return p.asRead != nullptr; });
}

bool OptimizeBackup::encodeDataAsRead(const AnimHeader& result) {
  if (!copy_) return false;
  // Frames the optimizer left as they came carry the data Save writes for them already.
  std::unordered_multimap<uint64_t, const KeptLzwStream*> written;
  for (const ImageBlock* f = FirstImage(&result); f; f = NextImage(f))
    if (f->keptLzw && !f->keptLzw->asRead) written.emplace(f->keptLzw->pixelHash, f->keptLzw.get());
  const auto savedAlready = [&](const Packed& p) -> const KeptLzwStream* {
    const auto [from, to] = written.equal_range(p.asRead->pixelHash);
    for (auto it = from; it != to; ++it) {
      const KeptLzwStream& kept = *it->second;
      if (kept.width == p.frame->width && kept.height == p.frame->height && kept.minCodeSize == p.codeSizeSaved &&
          (kept.clearRule == p.frame->lzwClearRule || !kept.tableFilled) && kept.interlaced == p.frame->interlaced())
        return &kept;
    }
    return nullptr;
  };
  try {
    for (Packed& p : packed_) {
      if (!p.asRead) continue;
      if (const KeptLzwStream* kept = savedAlready(p)) {
        p.encoded = kept->subBlocks;
      } else {
        auto image = std::make_unique<IndexedImage>(*p.image);
        image->pixels.resize(image->stride() * static_cast<size_t>(image->height));
        if (!Decode(p, *image)) return false;
        // Encoded as the frame it was copied from, then left without its plane again.
        p.frame->indexedImage = std::move(image);
        MemorySink sink;
        const bool encoded = LzwEncode(sink, *p.frame, p.codeSizeSaved);
        p.frame->indexedImage.reset();
        if (!encoded) return false;
        p.encoded = std::move(sink.bytes);
      }
      p.minCodeSize = p.codeSizeSaved;
      p.asRead.reset();
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool OptimizeBackup::Decode(const Packed& p, IndexedImage& image) {
  size_t size = 0;
  const std::vector<uint8_t> data = UnblockedLzwData(p.data(), size);
  const bool interlaced = p.asRead ? p.asRead->interlaced : p.frame->interlaced();
  const LzwResult r = ThreadLzwDecoder().decode(data.data(), size, true, p.minCodeSize, image, p.frame->width,
                                                p.frame->height, interlaced);
  // The file's data decoded once already; our own encoder's data is of these very pixels.
  return r == LzwResult::kComplete || (p.asRead && r == LzwResult::kEndedEarly);
}

bool OptimizeBackup::putBack(AnimHeader& document) {
  if (!copy_) return false;
  try {
    for (Packed& p : packed_) {
      IndexedImage& image = *p.image;
      image.pixels.resize(image.stride() * static_cast<size_t>(image.height));
      if (!Decode(p, image)) return false;
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  // As CopyAnimation leaves a copied frame.
  for (Packed& p : packed_) {
    p.frame->indexedImage = std::move(p.image);
    SetColourTable(*p.frame->indexedImage, p.frame->activePalette);
    BuildDisplayMask(*p.frame);
    // Save need not encode again what was encoded here for it.
    if (!p.asRead) KeepLzwData(*p.frame, p.minCodeSize, std::move(p.encoded));
  }
  packed_.clear();
  ExchangeDocuments(document, *copy_);
  copy_.reset();
  return true;
}

}  // namespace fw
