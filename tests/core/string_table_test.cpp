#include "core/string_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace fw {
namespace {

std::string Text(int id) {
  const char* t = MessageText(id);
  return t ? std::string(t) : std::string("<missing>");
}

TEST(StringTable, EveryIdIsFoundAndIdsAscend) {
  ASSERT_GT(MessageCount(), 200);
  for (int i = 0; i < MessageCount(); ++i) {
    const int id = MessageIdAt(i);
    if (i > 0) {
      EXPECT_LT(MessageIdAt(i - 1), id) << "at index " << i;
    }
    const char* t = MessageText(id);
    ASSERT_NE(t, nullptr) << "id " << id;
    EXPECT_GT(std::strlen(t), 0u) << "id " << id;
  }
}

TEST(StringTable, UnknownIdsGiveNull) {
  EXPECT_EQ(MessageText(0), nullptr);
  EXPECT_EQ(MessageText(-1), nullptr);
  EXPECT_EQ(MessageText(40192), nullptr);  // gap between 40191 and 40193
  EXPECT_EQ(MessageText(99999), nullptr);
  EXPECT_EQ(MessageText(MessageIdAt(0) - 1), nullptr);
  EXPECT_EQ(MessageText(MessageIdAt(MessageCount() - 1) + 1), nullptr);
}

TEST(StringTable, TextsAreStoredExactly) {
  EXPECT_EQ(Text(msg::kFrameNameFormat), "%s - 帧 %d");
  EXPECT_EQ(Text(msg::kNoName), "[无名称]");
  EXPECT_EQ(Text(msg::kErrorCaption), "错误");
  EXPECT_EQ(Text(msg::kClipFramesQuestion),
            "这动画有一些帧超出图像互换格式\"屏幕\",应该剪去(不可逆的行动). \n\n"
            "如果动画被裁剪和保存?");
  EXPECT_EQ(Text(40337), "\"%s\" 已存在.\n是否要替换它吗?");
  EXPECT_EQ(Text(40123),
            "PSD文件,这是目前不支持色彩模式.\n\n目前支持的模式是为\"RGB\"和\"索引\".");
  // Leading spaces in status-bar texts are part of the layout.
  EXPECT_EQ(Text(40175), "  文件大小: %s bytes  (%s at %s)");
  EXPECT_EQ(Text(40314), "\n帧 %d ");
  EXPECT_EQ(Text(40248), "文件打开失败,错误 %lX.");
  // Low ids sit before the 40000 block.
  EXPECT_EQ(Text(132), "当前大小: %d x %d");
  EXPECT_EQ(Text(1002), "打开文件(s) (Ctrl+O)");
}

}  // namespace
}  // namespace fw
