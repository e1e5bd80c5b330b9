#include <gtest/gtest.h>

#include "gif/byte_sink.h"
#include "gif/gif_reader.h"
#include "gif/gif_writer.h"
#include "support/giflib_bridge.h"
#include "support/test_support.h"

namespace fw {

TEST(GifRoundTrip, OurWriterDecodesInGiflibAndOurReader) {
  test::ScopedMessages messages;
  AnimPtr doc = test::NewDocument(40, 30, 256);
  test::AddFrame(*doc, 0, 0, 40, 30, [](int x, int y) { return (x * 7 + y * 13) & 255; });
  MemorySink sink;
  ASSERT_EQ(WriteGifStream(sink, *doc, nullptr), 1);
  const test::PeerGif peer = test::GiflibDecode(sink.bytes);
  ASSERT_TRUE(peer.ok) << peer.error;
  ASSERT_EQ(peer.frames.size(), 1u);
  EXPECT_EQ(peer.frames[0].pixels, test::FramePixels(*FirstImage(doc.get())));
  ReadResult back = ReadGifMemory(sink.bytes.data(), sink.bytes.size());
  ASSERT_EQ(back.status, 1);
  EXPECT_EQ(test::FramePixels(*FirstImage(back.document.get())), test::FramePixels(*FirstImage(doc.get())));
  EXPECT_EQ(back.document->encodedSize, static_cast<int32_t>(sink.bytes.size()));
}

}  // namespace fw
