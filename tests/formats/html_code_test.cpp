// The HTML tag built for a saved animation.
#include <gtest/gtest.h>

#include "formats/html_code.h"

namespace fw {
namespace {

TEST(HtmlCode, PlainImageTagCarriesScreenSizeAndBorder) {
  HtmlCodeFields f;
  f.fileName = "anim.gif";
  EXPECT_EQ(HtmlImageCode(f, 100, 50), "<img src=\"anim.gif\" width=100 height=50 border=0>");
}

TEST(HtmlCode, LinkWrapsTheTagAndDescriptionFollowsTheBorder) {
  HtmlCodeFields f{"walk.gif", "http://example.org/", 3, "A walking cat"};
  EXPECT_EQ(HtmlImageCode(f, 32, 48),
            "<a href=\"http://example.org/\"><img src=\"walk.gif\" width=32 height=48 border=3 "
            "alt=\"A walking cat\"></a>");
}

TEST(HtmlCode, NoFileNameGivesNoCodeWhateverElseIsFilled) {
  HtmlCodeFields f{"", "x.html", 2, "text"};
  EXPECT_EQ(HtmlImageCode(f, 10, 10), "");
}

TEST(HtmlCode, QuotesInFieldsCannotEndTheAttribute) {
  HtmlCodeFields f{"a.gif", "", 0, "say \"hi\""};
  EXPECT_EQ(HtmlImageCode(f, 1, 1), "<img src=\"a.gif\" width=1 height=1 border=0 alt=\"say &quot;hi&quot;\">");
}

TEST(HtmlCode, FileNameIsTheLastPathComponent) {
  EXPECT_EQ(HtmlFileNameOf("/home/u/pics/anim.gif"), "anim.gif");
  EXPECT_EQ(HtmlFileNameOf("C:\\pics\\walk (4x2).png"), "walk (4x2).png");
  EXPECT_EQ(HtmlFileNameOf("plain.gif"), "plain.gif");
}

}  // namespace
}  // namespace fw
