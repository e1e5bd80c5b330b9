#pragma once
// Message ids the format readers and writers show (texts in core/string_table.cpp).
namespace fw::fmsg {
inline constexpr int kFilmstripNoMemory = 40159;
inline constexpr int kFilmstripMixedTransparency = 40160;
inline constexpr int kFilmstripLocalPalettes = 40161;
inline constexpr int kFilmstripLayout = 40162;  // "for total of %d frame(s) per strip and %dx%d pixels."
inline constexpr int kFilmstripWidthNotDivisible = 40164;
inline constexpr int kFilmstripHeightNotDivisible = 40165;
inline constexpr int kFilmstripNeedsOneImage = 40166;
inline constexpr int kBmpNoMemory = 40178;
inline constexpr int kJpegNoMemory = 40179;
inline constexpr int kImageTypeUnsupported = 40190;
inline constexpr int kBmpRunLength = 40191;
inline constexpr int kCannotOpenFile = 40236;
inline constexpr int kCannotSaveTemp = 40239;
inline constexpr int kCannotWrite = 40241;
inline constexpr int kJpegNotRgb = 40309;
inline constexpr int kJpegDecompressError = 40329;
inline constexpr int kPngDamaged = 40330;
inline constexpr int kBmp16BitUnsupported = 40333;
inline constexpr int kPalDamaged = 40338;
inline constexpr int kPngEncodeError = 40368;
}  // namespace fw::fmsg
