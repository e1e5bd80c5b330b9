#pragma once
// Every numbered command of the editor: its id, its menu text and the rule that greys it.
// Menus, the toolbar and the accelerators are all built from this table, so one id always
// means one QAction and one branch of the dispatcher.
#include <string>
#include <vector>

namespace fw::cmd {

inline constexpr int kOpen = 1002, kExit = 1003, kAbout = 1004, kCopy = 1012, kSave = 1015, kSaveAs = 1016;
inline constexpr int kUndo = 40001, kCut = 40002, kPaste = 40004, kOptimize = 40005, kAnimProperties = 40008,
                     kFrameProperties = 40009, kPreview = 40010, kStopPreview = 40011, kDelete = 40012,
                     kInsert = 40013, kComments = 40016, kUnoptimize = 40019, kRestart = 40021, kHelp = 40023,
                     kOrientAuto = 40027, kOrientHorizontal = 40028, kOrientVertical = 40029,
                     kZoomIn = 40038, kZoomOut = 40039, kLocalPaletteEdit = 40044,
                     kGlobalFrameProperties = 40052, kZoom20 = 40060, kZoom400 = 40067, kActualSize = 40069,
                     kRotate180 = 40074, kRotateCw = 40073, kRotateCcw = 40075, kFlipH = 40076, kFlipV = 40077,
                     kRevert = 40080, kReduceColours = 40081, kHtml = 40082, kTransWindow = 40088,
                     kTransFrame = 40089, kTransCustom = 40090, kSpeedFirst = 40093, kSpeedLast = 40102,
                     kAllRotate180 = 40105, kAllRotateCw = 40104, kAllRotateCcw = 40106, kAllFlipH = 40107,
                     kAllFlipV = 40108, kReverse = 40115, kRedo = 40120, kTutorial = 40127,
                     kShowPropertyBar = 40128, kSelectAll = 40131, kInvertSelection = 40132, kRecentFirst = 40150,
                     kRecentLast = 40156, kSaveAsGif = 40161, kEditTiming = 40289, kPreviewSelected = 40340,
                     kBounce = 40341, kFrameTips = 40344, kCentreAll = 325, kLoadTiming = 324, kSaveTiming = 326, kGlobalPalette = 40050;
inline constexpr int kPreferences = 40035;
inline constexpr int kEditPixels = 40343, kLiveEditFrame = 40337, kLiveEditAnimation = 40336, kEndLiveEdit = 40339;
// The strip shows frames as the viewer sees them (a ticked item of our own).
inline constexpr int kShowComposed = 40400;
// Delays browsers would slow down raised to the smallest one they honour.
inline constexpr int kMakeWebSafe = 40401;
// The strip shows each frame's encoded bytes (ticked).
inline constexpr int kShowFrameCosts = 40402;
// The best-looking version of the animation that fits a size.
inline constexpr int kSaveForSize = 40403;
inline constexpr int kReduceFrames = 40119;
inline constexpr int kChooseTransparent = 40042;  // the property bar button, no menu item
inline constexpr int kIncreaseCanvas = 328, kResizeFrames = 40135, kResizeAnimation = 40092, kMoveCropFrames = 40072,
                     kCropAnimation = 40116;

// When a command is greyed (evaluated as the menus open).
enum class Grey {
  Never,
  NoDocument,
  FewerThan1,
  FewerThan2,
  NoSelection,
  NotModified,
  NotRevertible,
  NoUndo,
  NoRedo,
  NoPaste,
  NoLocalPalette,
  NoGlobalPalette,
};

struct Command {
  int id;
  const char* text;  // menu text as stored (with its & mnemonic)
  Grey grey;
};

// Menu items in order: id 0 is a separator, kSubmenu opens a submenu titled by the text and
// kEndSubmenu closes it.
inline constexpr int kSubmenu = -1, kEndSubmenu = -2;
struct MenuDefinition {
  const char* title;
  std::vector<Command> items;
};
const std::vector<MenuDefinition>& MainMenus();
// A command by id (nullptr when unknown).
const Command* FindCommand(int id);

// The main toolbar's buttons in their groups, left to right.
const std::vector<std::vector<int>>& ToolBarGroups();
// A command's tool tip: the string-table text under the command's own number, which exists
// only for the toolbar and property-bar commands (elsewhere the same number may belong to an
// unrelated message); nullptr for the others.
const char* CommandTip(int id);

// The six download speeds (name and bits per second) of the download-time menu.
struct Speed {
  const char* name;
  int bitsPerSecond;
};
const std::vector<Speed>& DownloadSpeeds();
// The estimated download time text (messages 40173 / 40174).
std::string DownloadTimeText(long long bytes, int bitsPerSecond);

}  // namespace fw::cmd
