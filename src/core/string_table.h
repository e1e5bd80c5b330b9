#pragma once
// The program's numbered user-visible texts. Every text is stored exactly as the
// program shows it (UTF-8); printf-style placeholders are filled by FormatMessage.
#include <string>

namespace fw {

// Returns the stored text for a message id, or nullptr when the id is unknown.
const char* MessageText(int id);

// Number of entries in the table (for tests that walk it).
int MessageCount();
// The id of the i-th entry, in ascending id order.
int MessageIdAt(int i);

// Ids the core and codecs refer to by name. The table itself holds every numbered text.
namespace msg {
inline constexpr int kNoName = 40193;               // "[无名称]"
inline constexpr int kFrameNameFormat = 40186;      // "%s - 帧 %d"
inline constexpr int kNoMemoryComment = 40195;
inline constexpr int kCommentTooLong = 40208;
inline constexpr int kCommentTooLongCaption = 40209;
inline constexpr int kCannotCreateLocalPalette = 40181;
inline constexpr int kNoMemoryFrameImage = 40182;
inline constexpr int kGifDamaged = 40183;
inline constexpr int kPartlyRead = 40184;
inline constexpr int kCouldNotRead = 40185;
inline constexpr int kReadingGif = 40187;
inline constexpr int kCannotOpenFile = 40236;
inline constexpr int kNotValidGif = 40237;
inline constexpr int kCannotReadType = 40238;
inline constexpr int kCannotSaveTemp = 40239;
inline constexpr int kMakingGif = 40240;
inline constexpr int kCannotWrite = 40241;
inline constexpr int kErrorCaption = 40325;
inline constexpr int kClipFramesQuestion = 40188;  // asked before saving off-screen frames
inline constexpr int kClipFramesCaption = 40189;
inline constexpr int kNoMemoryClipboard = 40194;
inline constexpr int kUndoMemoryWarning = 40281;
inline constexpr int kUndoMemoryWarningCaption = 40282;
inline constexpr int kUntitled = 40235;             // "无标题"
// Colour reduction, dithering and palette merging.
inline constexpr int kNoMemoryReduceCopy = 40107;
inline constexpr int kNoMemoryNewPalette = 40108;
inline constexpr int kReducingPalettes = 40109;
inline constexpr int kReloadingFrames = 40111;
inline constexpr int kReloadingLocalPalettes = 40112;
inline constexpr int kNoMemoryDithering = 40167;
inline constexpr int kNoMemoryErrorDiffusion = 40168;
inline constexpr int kCannotRemoveLocalPalette = 40180;
inline constexpr int kCreatingLocalPalettes = 40196;
inline constexpr int kAnalysingColours = 40197;
inline constexpr int kRemappingColours = 40198;
// Timing as browsers play it.
inline constexpr int kBrowserTimingTip = 40401;
inline constexpr int kBrowsersSlowFrames = 40402;  // "%d" frames
inline constexpr int kMakeWebSafeTip = 40403;
inline constexpr int kAlreadyWebSafe = 40404;
// Save for size.
inline constexpr int kSaveForSizeTitle = 40406;
inline constexpr int kSizeTargetLabel = 40407;
inline constexpr int kSizeStart = 40408;
inline constexpr int kSizeTrying = 40409;      // count, settings, bytes
inline constexpr int kSizeChosen = 40410;      // settings, bytes, target, quality
inline constexpr int kSizeNothingFits = 40411; // target, count, smallest
inline constexpr int kSizeNotASize = 40412;
inline constexpr int kSizeFailed = 40413;
inline constexpr int kSizeLossless = 40414;
inline constexpr int kFrameEncodedBytes = 40405;  // "\n...%s..." the grouped byte count
}  // namespace msg

}  // namespace fw
