#pragma once
// Reading GIF87a/GIF89a streams into animation documents. Damaged files keep every frame
// decoded before the damage and are reported as partly read; so are files whose frames claim
// far more pixels than their data can fill (see frame_pixel_budget.h).
#include <string>

#include "core/anim_document.h"
#include "core/load_result.h"
#include "gif/byte_source.h"
#include "gif/frame_pixel_budget.h"

namespace fw {

class Progress;

using ReadResult = LoadResult;

// What a read keeps beside the frames.
struct GifReadOptions {
  // Each frame's data as the file held it (KeepReadLzwData): an optimization that follows
  // then need not encode its input again. It costs a hash of every frame and the compressed
  // data held beside the pixels, so only a caller about to optimize asks for it.
  bool keepDataAsRead = false;
};

// True when the six bytes are "GIF87a" or "GIF89a".
bool IsGifSignature(const uint8_t* sixBytes);

// `source` is positioned just after the six-byte signature.
ReadResult ReadGifFile(ByteSource& source, Progress* progress, GifReadOptions options = {});
// Reads the blocks after the screen descriptor and global table into `document`.
int ReadGifBlocks(ByteSource& source, AnimHeader& document, Progress* progress, GifReadOptions options = {});
// Reads one image (descriptor, local table, data) into `image`. 1 on success, 0 on failure,
// also when the frame's blank pixels would overrun the read's budget. With `damaged`, data that
// breaks off inside its sub-blocks keeps the pixels decoded so far (1, *damaged set) instead.
int ReadGifImage(ByteSource& source, ImageBlock& image, AnimHeader& document, FramePixelBudget& budget,
                 bool* damaged = nullptr, GifReadOptions options = {});

struct ExtensionResult {
  bool ok = false;
  BlockPtr block;  // none for empty extensions and for the loop block
};
ExtensionResult ReadExtension(ByteSource& source, uint8_t label, AnimHeader& document);

// Opens a file, checks the signature and reads it; for tools, tests and benchmarks.
// Shows no message for a missing file or a wrong signature (status 0).
ReadResult ReadGifPath(const std::string& path, Progress* progress = nullptr);
ReadResult ReadGifMemory(const uint8_t* data, size_t size, GifReadOptions options = {});

}  // namespace fw
