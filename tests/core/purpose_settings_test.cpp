// Purpose presets and the named values the preferences write.
#include <gtest/gtest.h>

#include "core/named_settings.h"
#include "core/preferences.h"
#include "core/purpose_presets.h"
#include "support/test_support.h"

namespace fw {
namespace {

constexpr uint32_t kNoAutoPreview = 1u << 21;

TEST(PurposePresets, RecognisedFromTheStoredOptions) {
  test::ScopedMessages messages;
  EXPECT_EQ(CurrentPurpose(), Purpose::Animations);  // the defaults
  Prefs().write(pref::kPaletteMerge, 0x880002);
  EXPECT_EQ(CurrentPurpose(), Purpose::Custom);
  // Icons need the true-colour bit, the local-palette word and no automatic preview.
  Prefs().write(pref::kPaletteMerge, purpose_preset::kIconMerge);
  Prefs().setBits(pref::kOptionFlags, pref::kKeepTrueColour, true);
  EXPECT_EQ(CurrentPurpose(), Purpose::Custom);
  Prefs().setBits(pref::kOptionFlags, kNoAutoPreview, true);
  EXPECT_EQ(CurrentPurpose(), Purpose::Icons);
  // With the true-colour bit set the animation word is not the animation purpose.
  Prefs().write(pref::kPaletteMerge, purpose_preset::kAnimationMerge);
  EXPECT_EQ(CurrentPurpose(), Purpose::Custom);
}

TEST(PurposePresets, OnlyAChangedChoiceLoadsAPreset) {
  test::ScopedMessages messages;
  Prefs().write(pref::kFrameTips, 5);
  Prefs().write(pref::kFrameSizePolicy, pref::kSizeClip);
  ApplyPurpose(Purpose::Animations, Purpose::Animations);
  ApplyPurpose(Purpose::Custom, Purpose::Custom);
  EXPECT_EQ(Prefs().read(pref::kFrameTips), 5u);

  ApplyPurpose(Purpose::Animations, Purpose::Icons);
  EXPECT_TRUE(Prefs().bit(pref::kOptionFlags, pref::kKeepTrueColour));
  EXPECT_TRUE(Prefs().bit(pref::kOptionFlags, kNoAutoPreview));
  EXPECT_EQ(Prefs().read(pref::kPaletteMerge), 0x880010u);
  EXPECT_EQ(Prefs().read(pref::kFrameTips), 1161u);
  EXPECT_EQ(Prefs().read(pref::kFrameSizePolicy), 32u);
  EXPECT_EQ(CurrentPurpose(), Purpose::Icons);

  ApplyPurpose(Purpose::Icons, Purpose::Custom);  // custom keeps everything
  EXPECT_EQ(CurrentPurpose(), Purpose::Icons);

  ApplyPurpose(Purpose::Icons, Purpose::Animations);
  EXPECT_FALSE(Prefs().bit(pref::kOptionFlags, pref::kKeepTrueColour));
  EXPECT_EQ(Prefs().read(pref::kPaletteMerge), 0x880001u);
  EXPECT_EQ(Prefs().read(pref::kFrameTips), 173u);
  EXPECT_EQ(CurrentPurpose(), Purpose::Animations);
}

TEST(NamedSettings, EditorPathSetsTheLayeredFilesFlag) {
  test::ScopedMessages messages;
  MemoryPreferenceStore store;
  Prefs().load(&store);
  constexpr uint32_t kLayered = 1u << 3;
  EXPECT_EQ(StoredEditorPath(), "");
  EXPECT_TRUE(StoreEditorPath("C:\\Programs\\Adobe\\PHOTOSHP.EXE"));
  EXPECT_TRUE(Prefs().bit(pref::kMoreFlags, kLayered));
  EXPECT_EQ(store.texts["CoEdit"], "C:\\Programs\\Adobe\\PHOTOSHP.EXE");
  EXPECT_TRUE(StoreEditorPath("/usr/bin/gimp"));
  EXPECT_FALSE(Prefs().bit(pref::kMoreFlags, kLayered));
  EXPECT_EQ(StoredEditorPath(), "/usr/bin/gimp");
  EXPECT_FALSE(EditorHandlesLayers("hotoshp.exe"));
  EXPECT_TRUE(EditorHandlesLayers("photoshp.exe"));
  EXPECT_FALSE(EditorHandlesLayers("/opt/photoshp.exe.sh"));
}

}  // namespace
}  // namespace fw
