#include "document/marker_list.h"

#include <gtest/gtest.h>

#include <cmath>

#include "platform/recording_ui.h"

namespace qv3 {
namespace {

class MarkerListTest : public ::testing::Test {
 protected:
  MarkerListTest() { markers.set_song_length(60.0); }
  ScopedRecordingUi ui;
  MarkerList markers;
};

TEST_F(MarkerListTest, GeneratedNamesCountEveryAdd) {
  EXPECT_TRUE(markers.Add("", 1.0));
  EXPECT_TRUE(markers.Add("Chorus", 2.0));
  EXPECT_TRUE(markers.Add("", 3.0));
  EXPECT_EQ(markers.At(0).name, "M1");
  EXPECT_EQ(markers.At(1).name, "Chorus");
  EXPECT_EQ(markers.At(2).name, "M3");
  markers.Clear();
  EXPECT_EQ(markers.count(), 0);
  EXPECT_TRUE(markers.Add("", 1.0));
  EXPECT_EQ(markers.At(0).name, "M1");
  EXPECT_EQ(ui->beeps, 0);
}

TEST_F(MarkerListTest, RefusalsBeep) {
  ASSERT_TRUE(markers.Add("a", 10.0));
  EXPECT_FALSE(markers.Add("b", 10.0));  // same position
  EXPECT_EQ(ui->beeps, 1);
  EXPECT_TRUE(markers.Add("c", 10.000001));  // differs by a microsecond
  EXPECT_FALSE(markers.Add("d", std::nan("")));
  EXPECT_EQ(ui->beeps, 2);
  MarkerList empty_song;
  EXPECT_FALSE(empty_song.Add("x", 0.0));
  EXPECT_EQ(ui->beeps, 3);
}

TEST_F(MarkerListTest, HundredAndFirstIsRefused) {
  for (int i = 0; i < kMaxMarkers; ++i) ASSERT_TRUE(markers.Add("", i * 0.5));
  EXPECT_FALSE(markers.Add("", 55.0));
  EXPECT_EQ(markers.count(), kMaxMarkers);
  EXPECT_EQ(ui->beeps, 1);
}

TEST_F(MarkerListTest, ClampsAndRefusesClampedDuplicates) {
  EXPECT_TRUE(markers.Add("", -5.0));
  EXPECT_EQ(markers.At(0).position, 0.0);
  EXPECT_TRUE(markers.Add("", 99.0));
  EXPECT_EQ(markers.At(1).position, 60.0);
  EXPECT_FALSE(markers.Add("", 70.0));  // clamps onto the 60 s marker
}

TEST_F(MarkerListTest, IndexOutsideListAndDelete) {
  markers.Add("a", 1.0);
  markers.Add("b", 2.0);
  markers.Add("c", 3.0);
  EXPECT_EQ(markers.At(3).position, -1.0);
  EXPECT_EQ(markers.At(-1).position, -1.0);
  markers.Delete(0);
  ASSERT_EQ(markers.count(), 2);
  EXPECT_EQ(markers.At(0).name, "b");
  EXPECT_EQ(markers.At(1).name, "c");
  markers.Delete(7);
  EXPECT_EQ(markers.count(), 2);
}

TEST_F(MarkerListTest, FollowsInsertAndDelete) {
  markers.Add("a", 5.0);
  markers.Add("b", 10.0);
  markers.Add("c", 20.0);
  EXPECT_TRUE(markers.OnInsert(10.0, 2.0));  // 10 is not after 10
  EXPECT_EQ(markers.At(1).position, 10.0);
  EXPECT_EQ(markers.At(2).position, 22.0);
  EXPECT_FALSE(markers.OnInsert(30.0, 1.0));
  // Delete 5 .. 10: both ends inclusive.
  EXPECT_TRUE(markers.OnDelete(5.0, 10.0));
  ASSERT_EQ(markers.count(), 1);
  EXPECT_EQ(markers.At(0).name, "c");
  EXPECT_DOUBLE_EQ(markers.At(0).position, 17.0);
  EXPECT_FALSE(markers.OnDelete(30.0, 40.0));
}

}  // namespace
}  // namespace qv3
