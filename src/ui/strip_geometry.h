#pragma once
// The frame strip's arithmetic, kept free of widgets so that its edge cases can be tested
// directly: cell geometry, layout, hit testing, selection and the drag insertion index.
#include <vector>

namespace fw {

struct AnimHeader;

inline constexpr int kStripGap = 5;
// Width of the perforated film edge drawn along each strip.
inline constexpr int kPerforation = 12;

struct StripGeometry {
  bool vertical = true;  // frames run top to bottom, strips stand side by side
  int thickness = 0;     // across the strip
  int length = 0;        // along the strip, per cell
  int imageOffset = 0;   // across, from the strip edge to the cell
  int framesPerStrip = 1;
  int stripCount = 0;
  int frameCount = 0;
  int zoomedWidth = 0, zoomedHeight = 0;
};

// Zoom index -4..3 to numerator / denominator (clamped).
void ZoomFraction(int zoomIndex, int& numerator, int& denominator);
int ClampZoom(int zoomIndex);

// `alongExtent` is the client height for vertical strips, the width for horizontal ones.
StripGeometry ComputeStripGeometry(int screenWidth, int screenHeight, int zoomIndex, bool vertical, int frameCount,
                                   int alongExtent);

// Frame index under (across, along) in content coordinates (scroll positions added), or -1.
int StripHitTest(const StripGeometry& g, int across, int along);
// Cell origin in content coordinates: across and along.
void CellOrigin(const StripGeometry& g, int index, int& across, int& along);

// The insertion slot for a drop at content coordinates (across, along), capped at the frame
// count; -1 when the point is beyond the last strip.
int StripInsertionIndex(const StripGeometry& g, int across, int along);

// Where a drag would drop, with the pointer's across coordinate `pointer` taken in the client
// area (negative before it, `extent` or more beyond it) and `along` in content coordinates.
struct DragTarget {
  int index = -1;      // the insertion slot, or -1
  int strip = -1;      // the strip the marker is drawn on (a slot at a strip boundary belongs
                       // to the strip the pointer is in)
  int autoscroll = 0;  // -1 towards the start, +1 towards the end, 0 none
};
struct AcrossScroll {
  int position = 0, maximum = 0, extent = 0;
};
// `edgeMargin` pixels inside each across edge also scroll while the bar can move, so a drag
// can reach hidden strips in a window that fills the screen; `frameLimit` is the frame count
// when the drag started.
DragTarget DragInsertion(const StripGeometry& g, const AcrossScroll& scroll, int pointer, int along, int frameLimit,
                         int edgeMargin);

// Scroll-bar steps for a client extent: a line or a page, towards the start or the end. The
// asymmetric amounts keep the strip's traditional feel; every step moves at least one pixel.
enum class ScrollStep { LineUp, LineDown, PageUp, PageDown };
int ScrollDelta(ScrollStep step, int extent);

// Selection gestures on the document's selected flags, count and anchor.
enum SelectFlags { kSelectPlain = 0, kSelectExtend = 4, kSelectToggle = 8 };
void SelectFrames(AnimHeader& document, int index, int flags);
// The frame that becomes current after a selection gesture on `clicked`.
int CurrentAfterSelect(const AnimHeader& document, int clicked);

// Where the frames end up when the selection is dragged to the slot `insertion`: the new
// index of the current frame, or -1 when nothing moves.
struct DragMove {
  bool moves = false;
  int kind = 0;              // the undo kind: 1 for one frame, 25 for a group
  int value = 0;             // the undo record's value
  std::vector<int> formers;  // group moves: the former indexes, ascending
  int newCurrent = -1;
};
DragMove PlanDragMove(const AnimHeader& document, int current, int insertion);

}  // namespace fw
