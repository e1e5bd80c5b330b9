#pragma once
// The animation document: a header with the logical screen and the global palette, and a
// doubly linked list of GIF-shaped blocks behind a sentinel, in stream order.
#include <algorithm>
#include <array>
#include <functional>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/atoms.h"
#include "core/indexed_image.h"
#include "core/palette.h"

namespace fw {

class Progress;
// Defined where LZW data is kept (gif/kept_lzw.cpp); the core only holds it.
struct KeptLzwStream;

namespace block_kind {
inline constexpr uint8_t kImage = 0x2C;
inline constexpr uint8_t kSentinel = 0x2A;
inline constexpr uint8_t kPlainText = 0x01;
inline constexpr uint8_t kComment = 0xFE;
inline constexpr uint8_t kApplication = 0xFF;
}  // namespace block_kind

// Disposal methods (bits 2-4 of the graphic control byte).
enum Disposal : int { kDisposalNone = 0, kDisposalLeave = 1, kDisposalBackground = 2, kDisposalPrevious = 3 };

struct GifBlock {
  explicit GifBlock(uint8_t k) : kind(k) {}
  GifBlock(const GifBlock&) = delete;
  GifBlock& operator=(const GifBlock&) = delete;
  virtual ~GifBlock() = default;

  bool isImage() const { return kind == block_kind::kImage; }
  bool isExtension() const {
    return kind == block_kind::kPlainText || kind == block_kind::kComment || kind == block_kind::kApplication;
  }

  uint8_t kind;
  GifBlock* next = nullptr;
  GifBlock* prev = nullptr;
};

// Comment, application and plain-text blocks: their data sub-blocks exactly as in a GIF file
// (length byte 1-255 and data, repeated), ended by a zero length byte.
struct ExtensionBlock : GifBlock {
  explicit ExtensionBlock(uint8_t k) : GifBlock(k), data{0} {}
  std::vector<uint8_t> data;
};

struct ImageBlock : GifBlock {
  ImageBlock() : GifBlock(block_kind::kImage) {}
  ~ImageBlock() override { AtomRelease(name); }

  int32_t selected = 0;
  int32_t formerIndex = 0;
  int32_t left = 0;
  int32_t top = 0;
  int32_t width = 0;
  int32_t height = 0;
  int32_t hotspotX = -1;
  int32_t hotspotY = -1;
  Atom name = 0;
  Palette* activePalette = nullptr;  // local palette, else the document's global one
  std::unique_ptr<Palette> localPalette;
  int32_t delay = 0;  // in 1/T second, T the time base
  int32_t blend = 1;
  uint8_t controlFlags = 0;
  uint8_t transparentIndex = 0;
  uint8_t descriptorFlags = 0;
  // When the LZW table is cleared: 0 the moment it fills, as every encoder does; others keep a
  // full table a while (see LzwEncoder::encode). The optimizer's choice, kept with the frame so
  // that every size measured agrees with the file.
  uint8_t lzwClearRule = 0;
  // Whether the LZW data starts from the narrowest code size the frame's indexes allow rather
  // than from the palette's: smaller where a frame uses only low indexes, as some encoders
  // write. Also the optimizer's choice; saving otherwise keeps to the palette's size.
  bool narrowLzwCodes = false;
  std::unique_ptr<IndexedImage> indexedImage;
  // The LZW data last measured for the frame's pixels, when it was kept (gif/kept_lzw.h);
  // shared by copies, and only used while the pixels still match it.
  std::shared_ptr<const KeptLzwStream> keptLzw;
  // Transparency display mask, derived from the indexed rows: one bit per pixel, most
  // significant bit first, 1 where the pixel is transparent, rows padded to 32 bits (the
  // monochrome bitmap layout). Exists exactly while transparency is on; never copied.
  std::vector<uint8_t> maskBitmap;
  // Optional planes; empty means absent. Alpha never exists without true colour.
  std::vector<uint8_t> trueColour;     // height * Stride24 bytes, blue green red
  std::vector<uint8_t> alpha;          // height * Stride8 bytes
  std::vector<uint8_t> displayColour;  // like trueColour

  bool transparent() const { return controlFlags & 1; }
  bool interlaced() const { return descriptorFlags & 0x40; }
  int disposal() const { return (controlFlags >> 2) & 7; }
  bool hasTrueColour() const { return !trueColour.empty(); }
  uint64_t pixelCount() const {
    return static_cast<uint64_t>(std::max(width, 0)) * static_cast<uint64_t>(std::max(height, 0));
  }
};

struct AnimHeader {
  AnimHeader();
  AnimHeader(const AnimHeader&) = delete;
  AnimHeader& operator=(const AnimHeader&) = delete;
  ~AnimHeader();  // frees every block, iteratively, and the chain behind it

  int32_t screenWidth = 0;
  int32_t screenHeight = 0;
  int32_t playCount = 0;   // 0 = forever, 1 = once, n = n times
  int32_t frameCount = 0;  // image blocks in the list
  int32_t hideFirstFrame = 0;
  GifBlock* blockList;  // the sentinel, owned
  int32_t selectionAnchor = -1;
  int32_t selectedCount = 0;
  std::unique_ptr<Palette> globalPalette;
  uint8_t screenFlags = 0;
  uint8_t backgroundIndex = 0;
  uint8_t aspectByte = 0;
  int32_t encodedSize = -1;  // -1: not measured since the last change
  std::array<int32_t, 256> colourUsage{};
  std::unique_ptr<AnimHeader> nextInChain;  // further loaded animations while merging
};

using AnimPtr = std::unique_ptr<AnimHeader>;
using ImagePtr = std::unique_ptr<ImageBlock>;
using BlockPtr = std::unique_ptr<GifBlock>;

// --- creation and release ---
AnimPtr CreateAnimation();
// One frame of the given size without pixels; the caller supplies them.
AnimPtr CreateBlankAnimation(int width, int height);
// From the four data bytes of a graphic control extension, or defaults when null.
ImagePtr CreateImageBlock(const uint8_t* graphicControl);
ImagePtr CreateSizedImage(int width, int height);
std::unique_ptr<ExtensionBlock> CreateExtensionBlock(uint8_t kind);
// Unlinks nothing: frees a block that is no longer in a list. Returns what followed it.
GifBlock* FreeBlock(GifBlock* block);
void FreeAnimation(AnimPtr header);

// --- indexed image ---
void SetIndexedImage(ImageBlock& frame, std::unique_ptr<IndexedImage> image);

// --- copying ---
AnimPtr CopyHeader(const AnimHeader& header);
// A deep copy, unlinked. Frames without a local palette get `palette` as palette in effect.
BlockPtr CopyBlock(const GifBlock& block, Palette* palette);
ImagePtr CopyImage(const ImageBlock& frame, Palette* palette);
// A stopped progress returns the part copied so far; nullptr when memory runs out.
AnimPtr CopyAnimation(const AnimHeader& header, Progress* progress);
// CopyAnimation, but the frames `leaveOut` picks are copied without their indexed pixels (and
// so without a display mask): the caller supplies them.
AnimPtr CopyAnimationLeavingOutPixels(const AnimHeader& header, const std::function<bool(const ImageBlock&)>& leaveOut);
void CopyFrameProperties(ImageBlock& target, const ImageBlock& source);
ImagePtr CopyFrameShell(const ImageBlock& image);
AnimPtr CopyAnimationShell(const AnimHeader& header);
void SwapPixelContent(ImageBlock& a, ImageBlock& b);
void SwapImageContent(ImageBlock& a, ImageBlock& b);
void SwapFrameProperties(ImageBlock& a, ImageBlock& b, bool withTransparency, bool withDisposal);

// --- list navigation and editing (nullptr in, nullptr out) ---
ImageBlock* NextImage(const GifBlock* block);
ImageBlock* PrevImage(const GifBlock* block);
ImageBlock* FirstImage(const AnimHeader* header);
GifBlock* LastBlock(const AnimHeader* header);
ImageBlock* ImageAt(const AnimHeader* header, int index);
int IndexOfImage(const AnimHeader* header, const ImageBlock* frame);
ImageBlock* FirstSelected(const AnimHeader* header);
ImageBlock* NextSelected(const GifBlock* block);
void Link(GifBlock* a, GifBlock* b);
// Puts b (unlinked, ownership passes to the list) between a and a's former next.
void InsertAfter(GifBlock* a, GifBlock* b);
// Unlinks the block and hands it back to the caller.
BlockPtr DetachBlock(GifBlock* block);
// Unlinks and frees the block.
void RemoveBlock(GifBlock* block);
// Appends an owned block at the end of the list; adjusts frameCount for images.
void AppendBlock(AnimHeader& header, BlockPtr block);
// Appends many blocks in turn without walking the list for each: the end is found once.
// Nothing else may change the list while the appender is in use.
class BlockAppender {
 public:
  explicit BlockAppender(AnimHeader& header) : header_(header), tail_(LastBlock(&header)) {}
  void append(BlockPtr block);
  AnimHeader& header() { return header_; }

 private:
  AnimHeader& header_;
  GifBlock* tail_;
};
int ReverseBlocks(AnimHeader& header);
void AppendChain(AnimHeader& header);

// --- frame properties ---
void SetGlobalPalette(AnimHeader& header, std::unique_ptr<Palette> palette);
// Installs a palette and returns the previous local one (not released).
std::unique_ptr<Palette> SetLocalPalette(ImageBlock& image, std::unique_ptr<Palette> palette);
Palette* SetActivePalette(ImageBlock& image, Palette* palette);
void SetTransparency(ImageBlock& image, bool on);
void SetTransparentIndex(ImageBlock& image, int index);
int Disposal(const ImageBlock& image);
int SetDisposal(ImageBlock& image, int method);
bool UserInput(const ImageBlock& image);
void SetUserInput(ImageBlock& image, bool on);
bool Interlaced(const ImageBlock& image);
void SetInterlaced(ImageBlock& image, bool on);
std::string FrameName(const ImageBlock& image);
int SetFrameName(ImageBlock& image, const char* text);
void NameFramesFromFile(AnimHeader& header, std::string_view path);
int SetCommentText(ExtensionBlock& block, std::string_view text);
// The first sub-block's text of a comment block; empty for other kinds.
std::string CommentText(const GifBlock& block);
bool IsComment(const GifBlock& block);

// --- selection ---
void ClearSelection(AnimHeader& header);
int CountSelected(AnimHeader& header);

// --- measures ---
struct Extent {
  int32_t right = 0, bottom = 0;
};
struct Bounds {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};
Extent ImageExtent(const AnimHeader& header);
Bounds ImageBounds(const AnimHeader& header);
int64_t TotalDuration(const AnimHeader& header);
void RescaleDelays(AnimHeader& header, int newBase);
void CountIndexes(const ImageBlock& frame, int32_t* counters, bool clear);
void CountVisibleIndexes(const ImageBlock& frame, int32_t* counters, bool clear);
// Stops early when `stop` (the colour-usage worker's cancel request) becomes true.
void ComputeColourUsage(AnimHeader& header, int32_t* table, bool clear,
                        const std::function<bool()>& shouldStop = {});
void ComputeVisibleColourUsage(const AnimHeader& header, int32_t* table, bool clear);
void SingleFrameDisposal(AnimHeader& header);

// --- time base ---
// A GIF delay (hundredths) in document units and back, for the time base T.
int32_t GifDelayToDocument(int gifDelay, int timeBase);
int GifDelayFromDocument(int32_t delay, int timeBase);

// Base name of a path ('/' and '\' both separate directories).
std::string_view BaseName(std::string_view path);
// Extension after the last dot of the base name, without the dot; empty when none.
std::string_view Extension(std::string_view path);

}  // namespace fw
