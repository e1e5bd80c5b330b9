// Inserted frames larger than the animation: the stored policy, and the question the window
// may install in its place.
#include <gtest/gtest.h>

#include "core/batch.h"
#include "core/frame_size_question.h"
#include "core/preferences.h"
#include "support/test_support.h"

namespace fw {
namespace {

struct Merge {
  bool ok;
  int width, height, frames;
};

// A 5 x 5 document with one frame receives a `w` x `h` animation with one frame.
Merge MergeInto(int w, int h, const PaletteReconciler& reconcile = KeepPalettesAsLocal) {
  DocumentState state;
  state.document = test::NewDocument(5, 5, 4);
  test::AddFrame(*state.document, 0, 0, 1, 1, [](int, int) { return 0; });
  AnimPtr incoming = test::NewDocument(w, h, 4);
  test::AddFrame(*incoming, 0, 0, 1, 1, [](int, int) { return 0; });
  const bool ok = MergeLoadedAnimations(state, std::move(incoming), 0, reconcile);
  return {ok, state.document->screenWidth, state.document->screenHeight, state.document->frameCount};
}

class FrameSizeQuestion : public ::testing::Test {
 protected:
  void TearDown() override { SetFrameSizeAsker(nullptr); }
  test::ScopedMessages messages_;
};

TEST_F(FrameSizeQuestion, WithoutAnAskerTheStoredChoiceApplies) {
  // "Ask every time" stored, but nobody to ask (batch mode): enlarge or clip as stored.
  Prefs().write(pref::kFrameSizePolicy, pref::kSizeEnlarge | pref::kSizeAsk);
  Merge m = MergeInto(8, 3);
  EXPECT_TRUE(m.ok);
  EXPECT_EQ(m.width, 8);
  EXPECT_EQ(m.height, 5);

  Prefs().write(pref::kFrameSizePolicy, pref::kSizeClip | pref::kSizeAsk);
  m = MergeInto(8, 9);
  EXPECT_TRUE(m.ok);
  EXPECT_EQ(m.width, 5);
  EXPECT_EQ(m.height, 5);
  EXPECT_EQ(m.frames, 2);

  // An old stored encoding (2 = clip) still clips.
  Prefs().write(pref::kFrameSizePolicy, 2);
  m = MergeInto(8, 9);
  EXPECT_EQ(m.width, 5);
}

TEST_F(FrameSizeQuestion, TheAskerDecidesOnlyForLargerFramesWhenAskingIsStored) {
  int asked = 0;
  uint32_t seenPolicy = 0;
  FrameSizeChoice answer = FrameSizeChoice::Clip;
  SetFrameSizeAsker([&](uint32_t policy) {
    ++asked;
    seenPolicy = policy;
    return answer;
  });

  Prefs().write(pref::kFrameSizePolicy, pref::kSizeEnlarge | pref::kSizeAsk);
  Merge m = MergeInto(4, 4);  // fits: nothing to ask
  EXPECT_EQ(asked, 0);
  EXPECT_TRUE(m.ok);

  m = MergeInto(8, 3);  // the user says clip although the stored choice is enlarge
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(seenPolicy, pref::kSizeEnlarge | pref::kSizeAsk);
  EXPECT_EQ(m.width, 5);

  answer = FrameSizeChoice::Cancel;  // cancelling makes the merge fail and changes nothing
  m = MergeInto(8, 3);
  EXPECT_FALSE(m.ok);
  EXPECT_EQ(m.width, 5);
  EXPECT_EQ(m.frames, 1);

  Prefs().write(pref::kFrameSizePolicy, pref::kSizeEnlarge);  // not asking: no question
  m = MergeInto(8, 3);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(m.width, 8);

  // Enlarging waits for the palettes: a refused palette merge keeps the old size.
  m = MergeInto(8, 3, [](AnimHeader*, AnimHeader&) { return false; });
  EXPECT_FALSE(m.ok);
  EXPECT_EQ(m.width, 5);
}

}  // namespace
}  // namespace fw
