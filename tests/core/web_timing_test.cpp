// Delays as browsers play them, in every time base a document may use.
#include <gtest/gtest.h>

#include "core/anim_document.h"
#include "core/web_timing.h"
#include "support/test_support.h"

namespace fw {
namespace {

TEST(WebTiming, OnlyDelaysBelowTwoHundredthsAreSlowedToTen) {
  EXPECT_TRUE(BrowsersChangeDelay(0, 100));
  EXPECT_TRUE(BrowsersChangeDelay(1, 100));
  EXPECT_TRUE(BrowsersChangeDelay(-3, 100));
  EXPECT_FALSE(BrowsersChangeDelay(2, 100));
  EXPECT_TRUE(BrowsersChangeDelay(1, 0));  // an unset time base is hundredths
  EXPECT_EQ(BrowserInterval(0, 100), 100);
  EXPECT_EQ(BrowserInterval(1.2, 100), 100);
  EXPECT_EQ(BrowserInterval(1.6, 100), 20);  // rounds to 2, which browsers keep
  EXPECT_EQ(BrowserInterval(7, 100), 70);
  // Milliseconds: the file holds delay / 10 hundredths, truncated.
  EXPECT_TRUE(BrowsersChangeDelay(19, 1000));
  EXPECT_FALSE(BrowsersChangeDelay(20, 1000));
  EXPECT_EQ(BrowserInterval(15, 1000), 100);
  EXPECT_EQ(BrowserInterval(25, 1000), 25);
}

TEST(WebTiming, WebSafeDelayIsTheSmallestThatBrowsersKeep) {
  EXPECT_EQ(WebSafeDelay(0, 100), 2);
  EXPECT_EQ(WebSafeDelay(1, 100), 2);
  EXPECT_EQ(WebSafeDelay(2, 100), 2);
  EXPECT_EQ(WebSafeDelay(50, 100), 50);
  EXPECT_EQ(WebSafeDelay(3, 1000), 20);
  EXPECT_EQ(WebSafeDelay(0, 30), 1);  // one thirtieth is 3 hundredths
  for (int base : {1, 7, 30, 60, 100, 250, 1000}) {
    const int32_t safe = WebSafeDelay(0, base);
    EXPECT_FALSE(BrowsersChangeDelay(safe, base)) << base;
    EXPECT_TRUE(safe == 0 || BrowsersChangeDelay(safe - 1, base)) << base;
  }
}

TEST(WebTiming, MakingADocumentWebSafeTouchesOnlyTheSlowedFrames) {
  AnimPtr doc = test::NewDocument(4, 4, 4);
  const int delays[] = {0, 1, 2, 9, 1};
  for (int d : delays) test::AddFrame(*doc, 0, 0, 4, 4, [](int, int) { return 1; }).delay = d;
  EXPECT_EQ(CountDelaysBrowsersChange(*doc, 100), 3);
  EXPECT_EQ(MakeDelaysWebSafe(*doc, 100), 3);
  std::vector<int> after;
  for (const ImageBlock* f = FirstImage(doc.get()); f; f = NextImage(f)) after.push_back(f->delay);
  EXPECT_EQ(after, (std::vector<int>{2, 2, 2, 9, 2}));
  EXPECT_EQ(CountDelaysBrowsersChange(*doc, 100), 0);
  EXPECT_EQ(MakeDelaysWebSafe(*doc, 100), 0);
}

}  // namespace
}  // namespace fw
