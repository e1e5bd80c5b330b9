#pragma once
// Writing animation documents as GIF89a streams, to files or to a counter that measures.
#include <string>
#include <unordered_map>

#include "core/anim_document.h"
#include "gif/byte_sink.h"
#include "gif/lzw_encoder.h"

namespace fw {

class Progress;

// 1 success, 0 failure (message 40239 when the file cannot be created, a message naming the
// limit when the document does not fit the format; a failed write is only noted, see
// core/write_failure.h). An aborted write leaves a file without trailer and reports 0.
int WriteGifFile(const std::string& path, AnimHeader& document, Progress* progress);
// Empty when a GIF can hold the document; otherwise the message saying which limit it breaks.
std::string GifLimitProblem(const AnimHeader& document);
// 1 success, 2 aborted by the user, 0 write failure or a document GifLimitProblem refuses.
int WriteGifStream(ByteSink& sink, AnimHeader& document, Progress* progress);
bool WriteGifFrame(ByteSink& sink, const ImageBlock& frame);
// Bytes WriteGifFrame would write for the frame; 0 on failure.
int64_t FrameEncodedSize(const ImageBlock& frame);
// The same for a measurement that only matters below `bound`: `bound` as soon as the frame
// is known to take that much or more, without encoding the rest. With `data`, the LZW data
// sub-blocks written go there (what there is of them when the bound was reached).
int64_t FrameEncodedSizeBelow(const ImageBlock& frame, int64_t bound, std::vector<uint8_t>* data = nullptr);
// The part of that not taken by the LZW data sub-blocks: control extension, descriptor, local
// table, code size byte and terminator. 0 on failure.
int64_t FrameOverheadSize(const ImageBlock& frame);
// The document's encoded size, measured when forced or unknown; -1 for no document or an
// unfinished measurement. It counts the file Save writes: earlier signature comments out,
// the current one in unless the preferences leave it out.
int32_t EncodedSize(AnimHeader* document, bool force, Progress* progress);
// Bytes of LZW data (the sub-blocks LzwEncode writes) of frames as they now are, measured.
using MeasuredLzwBytes = std::unordered_map<const ImageBlock*, int64_t>;
// EncodedSize(document, true, progress) where the measured frames are not encoded again.
int32_t EncodedSizeMeasured(AnimHeader* document, const MeasuredLzwBytes& measured, Progress* progress);
// The signature comment Save puts at the start of a GIF: the stored "Sig" text, else
// "Built with Framewright 4.0".
std::string SignatureText();
// Stores a new signature text as "Sig"; false when there is no store or it refused the value.
bool StoreSignatureText(const std::string& text);
// A comment holding an earlier signature: its text begins with "Built with Framewright" or
// equals `signature`. Save replaces such comments by the current one.
bool IsSignatureComment(const GifBlock& block, const std::string& signature);
// One frame as a complete one-frame GIF at its own offset.
int WriteFrameAsGif(const std::string& path, ImageBlock& frame);
// The LZW data of a frame (sub-blocks only) with the given minimum code size, with the frame's
// LZW clear rule (data kept with the frame for these pixels, when there is any: see
// gif/kept_lzw.h) or the one given (see LzwEncoder::encode).
bool LzwEncode(ByteSink& sink, const ImageBlock& frame, int minCodeSize);
bool LzwEncode(ByteSink& sink, const ImageBlock& frame, int minCodeSize, int clearRule,
               int64_t giveUpAt = LzwEncoder::kNoLimit);

// Whether the frame's indexed plane holds all of its pixels, as encoding needs.
bool PixelsCoverFrame(const ImageBlock& frame);
// The minimum code size WriteGifFrame uses for a frame.
int FrameMinCodeSize(const ImageBlock& frame);
// The resolution field WriteGifStream stores in the screen descriptor.
int RaisedColourResolution(const AnimHeader& document);

}  // namespace fw
