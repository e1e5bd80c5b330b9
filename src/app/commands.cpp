#include "app/commands.h"

#include <cstdio>

#include "core/string_table.h"

namespace fw::cmd {
namespace {
using G = Grey;
constexpr Command Sep{0, nullptr, G::Never};
Command Sub(const char* title) { return {kSubmenu, title, G::Never}; }
constexpr Command EndSub{kEndSubmenu, nullptr, G::Never};
}  // namespace

const std::vector<MenuDefinition>& MainMenus() {
  static const std::vector<MenuDefinition> menus = {
      {"文件(&F)",
       {{kOpen, "打开(&O)...", G::Never},
        {40111, "打开幻灯片(&F)...", G::Never},
        Sub("导入(&M)"),
        {40109, "AVI文件...", G::Never},
        {40110, "BMP/DIB文件...", G::Never},
        {40113, "JPEG文件...", G::Never},
        {40112, "PSD文件...", G::Never},
        {40342, "PNG文件...", G::Never},
        {40133, "Icon文件...", G::Never},
        {40142, "Cursor文件...", G::Never},
        {40118, "动画光标...", G::Never},
        EndSub,
        {kInsert, "插入帧(&I)...", G::Never},
        {40125, "混合动画(&B)...", G::FewerThan1},
        Sep,
        {kSave, "保存(&S)", G::NotModified},
        {kSaveAs, "另存为(&A)...", G::NoDocument},
        {kSaveAsGif, "GIF动画另存为(&G)...", G::FewerThan1},
        {kSaveForSize, "按大小保存(&Z)...", G::FewerThan1},
        {kRevert, "恢复并保存(&V)", G::NotRevertible},
        {kRestart, "重新开始(&R)", G::NoDocument},
        Sep,
        {kHtml, "HTML代码(&H)...", G::NoDocument},
        Sep,
        {kExit, "退出(&X)", G::Never}}},
      {"编辑(&E)",
       {{kUndo, "撤消(&U)", G::NoUndo},
        {kRedo, "恢复(&R)", G::NoRedo},
        Sep,
        {kCut, "剪切(&T)", G::NoSelection},
        {kCopy, "复制(&C)", G::NoSelection},
        {kPaste, "粘贴(&P)", G::NoPaste},
        {kDelete, "删除(&D)", G::NoSelection},
        Sep,
        {kSelectAll, "全选(&A)", G::NoDocument},
        {kInvertSelection, "反向选择(&I)", G::NoDocument},
        Sep,
        {kPreferences, "首选项(&N)...", G::Never}}},
      {"帧(&R)",
       {{kFrameProperties, "属性(&P)...", G::NoSelection},
        {kGlobalFrameProperties, "全局属性(&G)...", G::FewerThan1},
        {kLocalPaletteEdit, "本地调色板(&L)...", G::NoLocalPalette},
        Sep,
        {kMoveCropFrames, "移动/复制(&M)...", G::NoSelection},
        {kIncreaseCanvas, "增加画布大小...", G::NoSelection},
        {kResizeFrames, "调整大小(&Z)...", G::NoSelection},
        Sub("旋转"),
        {kRotate180, "旋转 180 度(&1)", G::NoSelection},
        {kRotateCw, "顺时针90度(&9)", G::NoSelection},
        {kRotateCcw, "逆时针90度(&0)", G::NoSelection},
        {kFlipH, "水平翻转(&H)", G::NoSelection},
        {kFlipV, "垂直翻转(&V)", G::NoSelection},
        EndSub,
        {kCentreAll, "全部居中", G::NoDocument},
        Sep,
        {kEditPixels, "编辑像素(&E)...", G::NoSelection},
        {kLiveEditFrame, "实时图像编辑器...", G::NoSelection}}},
      {"动画(&A)",
       {{kAnimProperties, "属性(&P)...", G::NoDocument},
        {kEditTiming, "定时(&M)...", G::FewerThan1},
        {kMakeWebSafe, "延迟改为网页安全值(&W)", G::FewerThan1},
        {kGlobalPalette, "全局调色板(&G)...", G::NoGlobalPalette},
        Sep,
        {kReduceColours, "减少颜色(&R)...", G::FewerThan1},
        {kOptimize, "优化(&T)...", G::FewerThan1},
        {kUnoptimize, "取消优化(&U)", G::NoDocument},
        Sub("重新排列帧(&F)"),
        {kReduceFrames, "减少帧数(&N)...", G::FewerThan2},
        {kReverse, "反向输出(&V)", G::FewerThan2},
        {kBounce, "跳跃动画(&P)", G::FewerThan2},
        EndSub,
        {kCropAnimation, "裁剪(&O)...", G::NoDocument},
        {kResizeAnimation, "调整大小(&Z)...", G::NoDocument},
        Sub("旋转"),
        {kAllRotate180, "旋转 180 度(&1)", G::NoDocument},
        {kAllRotateCw, "顺时针90度(&9)", G::NoDocument},
        {kAllRotateCcw, "逆时针90度(&0)", G::NoDocument},
        {kAllFlipH, "水平翻转(&H)", G::NoDocument},
        {kAllFlipV, "垂直翻转(&V)", G::NoDocument},
        EndSub,
        {kLiveEditAnimation, "实时图像编辑器...", G::NoDocument},
        Sep,
        {kComments, "动画注释I(&I)...", G::NoDocument},
        {kLoadTiming, "载入时间文件...", G::FewerThan1},
        {kSaveTiming, "保存时间文件...", G::FewerThan1}}},
      {"查看(&V)",
       {{kPreview, "动画预览(&A)", G::FewerThan1},
        {kPreviewSelected, "预览选择帧", G::NoSelection},
        Sep,
        {kShowPropertyBar, "显示属性工具栏(&P)", G::Never},
        {kFrameTips, "显示帧提示", G::Never},
        {kShowComposed, "显示实际画面", G::Never},
        {kShowFrameCosts, "显示帧字节(&B)", G::Never},
        Sep,
        {kZoomIn, "放大(&I)", G::Never},
        {kZoomOut, "缩小(&O)", G::Never},
        Sub("缩放(&Z)"),
        {40060, "20%", G::Never},
        {40061, "25%", G::Never},
        {40062, "33%", G::Never},
        {40063, "50%", G::Never},
        {40064, "实际大小", G::Never},
        {40065, "200%", G::Never},
        {40066, "300%", G::Never},
        {40067, "400%", G::Never},
        EndSub,
        Sub("方向(&T)"),
        {kOrientAuto, "默认(&D)", G::Never},
        {kOrientHorizontal, "水平方向(&H)", G::Never},
        {kOrientVertical, "重直方向(&V)", G::Never},
        EndSub,
        Sub("透明度显示(&S)"),
        {kTransWindow, "窗口背景(&W)", G::Never},
        {kTransFrame, "帧中颜色(&F)", G::Never},
        {kTransCustom, "自定义颜色(&C)...", G::Never},
        EndSub,
        Sub("下载时间(&L)"),
        {40093, "14.4K", G::Never},
        {40094, "28.8K", G::Never},
        {40095, "33.6K", G::Never},
        {40096, "56K", G::Never},
        {40097, "64K", G::Never},
        {40098, "128K", G::Never},
        EndSub}},
      {"帮助(&H)",
       {{kHelp, "目录(&C)...", G::Never},
        {kTutorial, "教程(&T)...", G::Never},
        Sep,
        {kAbout, "关于Framewright(&A)...", G::Never}}},
  };
  return menus;
}

const Command* FindCommand(int id) {
  for (const MenuDefinition& m : MainMenus())
    for (const Command& c : m.items)
      if (c.id == id) return &c;
  return nullptr;
}

const std::vector<std::vector<int>>& ToolBarGroups() {
  static const std::vector<std::vector<int>> groups = {{kOpen, kInsert, kSave, kRestart},
                                                       {kCut, kCopy, kPaste, kDelete},
                                                       {kUndo, kRedo},
                                                       {kPreview, kStopPreview},
                                                       {kEditTiming, kOptimize, kReduceColours},
                                                       {kZoomIn, kZoomOut, kActualSize},
                                                       {kFrameTips},
                                                       {kHelp}};
  return groups;
}

const char* CommandTip(int id) {
  // The property bar's command buttons are the window's actions too.
  static const int kPropertyBar[] = {kFrameProperties, kAnimProperties, kGlobalPalette, kLocalPaletteEdit};
  for (const auto& group : ToolBarGroups())
    for (int tool : group)
      if (tool == id) return MessageText(id);
  for (int item : kPropertyBar)
    if (item == id) return MessageText(id);
  return nullptr;
}

const std::vector<Speed>& DownloadSpeeds() {
  static const std::vector<Speed> speeds = {{"14.4K", 14400}, {"28.8K", 28800}, {"33.6K", 33600},
                                            {"56K", 56000},   {"64K", 64000},   {"128K", 128000}};
  return speeds;
}

std::string DownloadTimeText(long long bytes, int bitsPerSecond) {
  const double seconds = static_cast<double>(bytes) * 8.0 / bitsPerSecond;
  char buffer[64];
  if (seconds > 0.1) std::snprintf(buffer, sizeof buffer, MessageText(40173), seconds);
  else std::snprintf(buffer, sizeof buffer, "%s", MessageText(40174));
  return buffer;
}

}  // namespace fw::cmd
