// The channel book the browser's mixer relies on: free channels first, the
// oldest sound gives way when all are busy, and a channel is free again once
// the mixer reports its end, however many sounds came and went before.
#include "sound/channel_book.h"

#include <gtest/gtest.h>

TEST(ChannelBook, FreeFirstThenOldestAndFinishedChannelsComeBack) {
  ChannelBook book(4);
  ASSERT_EQ(book.count(), 4);
  for (int c = 0; c < 4; ++c) {
    EXPECT_FALSE(book.busy(c));
    EXPECT_EQ(book.claim(), c) << "free channels are taken lowest first";
    EXPECT_TRUE(book.busy(c));
  }
  // All busy: the oldest start gives way, then the next oldest.
  EXPECT_EQ(book.claim(), 0);
  EXPECT_EQ(book.claim(), 1);
  // A channel reported finished is taken before any busy one, even though
  // others started longer ago.
  book.finished(3);
  EXPECT_FALSE(book.busy(3));
  EXPECT_EQ(book.claim(), 3);
  // Now 2 is the oldest start (0 and 1 restarted, 3 just now).
  EXPECT_EQ(book.claim(), 2);
  EXPECT_EQ(book.claim(), 0);
  // Reports out of range change nothing.
  book.finished(-1);
  book.finished(4);
  for (int c = 0; c < 4; ++c) EXPECT_TRUE(book.busy(c)) << "channel " << c;
  EXPECT_FALSE(book.busy(4));
  // Freed channels come back lowest first.
  book.finished(2);
  book.finished(1);
  EXPECT_EQ(book.claim(), 1);
  EXPECT_EQ(book.claim(), 2);

  ChannelBook none(0);
  EXPECT_EQ(none.claim(), -1);
}
