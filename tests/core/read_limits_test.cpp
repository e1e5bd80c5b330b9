// The limits on what a read may make: the per-read budget for pictures a file's data cannot
// fill (shared by nested reads), the document's pixel limit, the picture limit's question, and
// the preferences that keep both limits.
#include <gtest/gtest.h>

#include "core/message_sink.h"
#include "core/picture_limit.h"
#include "core/preferences.h"
#include "core/read_budget.h"

namespace fw {
namespace {

struct Recording {
  RecordingMessageSink sink;
  MessageSink* previous = SetMessageSink(&sink);
  ~Recording() { SetMessageSink(previous); }
};

TEST(ReadBudget, UnbackedBytesAreSharedByNestedReadsAndFramesCountedOnce) {
  SetMaxUnbackedBytes(1000);
  {
    ReadBudgetScope outer;
    EXPECT_TRUE(outer.admitUnbacked(5000, 4400));  // 600 made up
    {
      ReadBudgetScope inner;  // an icon's picture inside the outer file
      EXPECT_FALSE(inner.admitUnbacked(500));
      EXPECT_TRUE(inner.admitUnbacked(400));
      EXPECT_TRUE(inner.admitFrame(int64_t{1} << 40));  // counted by the outer read, not here
    }
    EXPECT_FALSE(outer.admitUnbacked(1));
    EXPECT_TRUE(outer.admitUnbacked(1 << 20, 1 << 20));  // data that fills its picture is never refused
  }
  ReadBudgetScope next;  // a new read starts with the whole budget
  EXPECT_TRUE(next.admitUnbacked(1000));
  SetMaxUnbackedBytes(kDefaultMaxUnbackedBytes);
}

TEST(ReadBudget, DocumentLimitCountsWhatTheDocumentHoldsAndNamesTheNumbers) {
  Recording r;
  SetDocumentPixelLimit(10'000'000);
  {
    PixelsAlreadyHeld held(4'000'000);
    ReadBudget budget;
    EXPECT_TRUE(budget.admitFrame(5'000'000));
    EXPECT_TRUE(r.sink.texts().empty());
    EXPECT_FALSE(budget.admitFrame(2'000'000));
    EXPECT_TRUE(budget.admitFrame(1'000'000));
  }
  EXPECT_EQ(HeldPixels(), 0);
  SetDocumentPixelLimit(kDefaultDocumentPixelLimit);
  ASSERT_EQ(r.sink.texts().size(), 1u);
  EXPECT_NE(r.sink.texts()[0].find("11 million"), std::string::npos) << r.sink.texts()[0];
  EXPECT_NE(r.sink.texts()[0].find("10 million (10000000 pixels)"), std::string::npos) << r.sink.texts()[0];
}

TEST(PictureLimit, TheWindowAsksAndBatchRunsAreRefused) {
  Recording r;
  EXPECT_TRUE(PictureWithinLimit(16000, 16000));
  EXPECT_FALSE(PictureWithinLimit(20000, 20000));
  ASSERT_EQ(r.sink.texts().size(), 1u);
  EXPECT_NE(r.sink.texts()[0].find("20000 x 20000 pixels (400 million)"), std::string::npos);
  EXPECT_NE(r.sink.texts()[0].find("preferences"), std::string::npos);

  std::string asked;
  for (const bool answer : {true, false}) {
    SetPictureLimitAsker([&](const std::string& question) {
      asked = question;
      return answer;
    });
    EXPECT_EQ(PictureWithinLimit(20000, 20000), answer);
    EXPECT_NE(asked.find("Read it anyway?"), std::string::npos) << asked;
  }
  SetPictureLimitAsker(nullptr);
  EXPECT_EQ(r.sink.texts().size(), 1u);  // a question answered is not also an error
}

TEST(ReadLimitPreferences, StoredBesideTheBlockAndReadBack) {
  MemoryPreferenceStore store;
  Preferences prefs;
  prefs.load(&store);
  EXPECT_EQ(Preferences::picturePixelLimit(), kDefaultPicturePixelLimit);
  EXPECT_EQ(Preferences::documentPixelLimit(), int64_t{1} << 30);
  prefs.setPicturePixelLimit(int64_t{1000} * 1000 * 1000);
  prefs.setDocumentPixelLimit(int64_t{4} << 30);
  EXPECT_EQ(store.numbers["PictureMegapixels"], 1000u);
  EXPECT_EQ(store.numbers["DocumentMebipixels"], 4096u);

  MemoryPreferenceStore empty;
  prefs.load(&empty);
  EXPECT_EQ(PicturePixelLimit(), kDefaultPicturePixelLimit);
  prefs.load(&store);
  EXPECT_EQ(PicturePixelLimit(), int64_t{1000} * 1000 * 1000);
  EXPECT_EQ(DocumentPixelLimit(), int64_t{4} << 30);

  // Values the program could not have stored leave the defaults.
  store.numbers["PictureMegapixels"] = 0;
  store.numbers["DocumentMebipixels"] = 0xFFFFFFFF;
  prefs.load(&store);
  EXPECT_EQ(PicturePixelLimit(), kDefaultPicturePixelLimit);
  EXPECT_EQ(DocumentPixelLimit(), kDefaultDocumentPixelLimit);
  prefs.load(nullptr);
}

}  // namespace
}  // namespace fw
