#include "recorder/state/recording_store.h"

#include "recorder/state/display_rule.h"

#include <gtest/gtest.h>

namespace zetra {
namespace {

// Compensation in single precision throughout: -882.1 - (38.33 - 25) x 23.1 gives -1190.023 in
// 32-bit floats, one float step from -1190.0231 in double precision.
TEST(ChannelRule, CompensatesInSinglePrecision) {
  const ChannelRule on{true, 25.0f, 23.1f, 2.0f};
  EXPECT_EQ(on.compensated_pa(-882.1f, 38.33f), -1190.02294921875f);
  EXPECT_EQ(on.nanomolar(-882.1f, 38.33f), -595.011474609375f);
  const ChannelRule off{false, 25.0f, 23.1f, 2.0f};
  EXPECT_EQ(off.compensated_pa(-882.1f, 38.33f), -882.1f);
  ConditioningSettings settings;
  settings.tc_start2 = 30;
  settings.tc_factor2 = 4;
  settings.pa_per_nm2 = 8;
  const ChannelRule second = channel_rule(settings, 2);
  EXPECT_EQ(second.tc_start, 30.0f);
  EXPECT_EQ(second.tc_factor, 4.0f);
  EXPECT_EQ(second.pa_per_nm, 8.0f);
}

TEST(RecordingStore, StoresFromIndexOneUntilOneBelowCapacity) {
  RecordingStore store;
  store.allocate(kDefaultCapacity);
  ASSERT_EQ(store.rec_cur1.size(), 100001u);
  EXPECT_EQ(store.rec_next, 1.0f);
  for (int i = 1; i < 100000; ++i) {
    ASSERT_TRUE(store.append(float(i), -float(i), 20, 30));
  }
  EXPECT_EQ(store.rec_next, 100000.0f);
  EXPECT_EQ(store.recorded_count(), 99999u);
  EXPECT_FALSE(store.append(1, 2, 3, 4));  // the 100000th sample is refused
  EXPECT_EQ(store.rec_next, 100000.0f);
  EXPECT_EQ(store.rec_cur1[1], 1.0f);
  EXPECT_EQ(store.rec_cur2[99999], -99999.0f);
  EXPECT_EQ(store.rec_cur1[100000], 0.0f);  // index rec_capacity is never written
  EXPECT_EQ(store.rec_cur1[0], 0.0f);
}

TEST(RecordingStore, AllocateEmptiesTheArraysButKeepsRecNext) {
  RecordingStore store;
  store.allocate(kDefaultCapacity);
  for (int i = 0; i < 1000; ++i) store.append(5, 6, 7, 8);
  store.allocate(200000);
  EXPECT_EQ(store.rec_next, 1001.0f);
  EXPECT_EQ(store.rec_capacity, 200000.0f);
  EXPECT_EQ(store.rec_temp2.size(), 200001u);
  for (int i = 0; i <= 1000; ++i) {
    ASSERT_EQ(store.rec_cur1[i] + store.rec_cur2[i] + store.rec_temp1[i] + store.rec_temp2[i], 0);
  }
  store.clear();
  EXPECT_EQ(store.rec_next, 1.0f);
  EXPECT_EQ(store.recorded_count(), 0u);
}

TEST(RecordingStore, HoldsTheLargestMemory) {
  RecordingStore store;
  store.allocate(kLargestCapacity);
  ASSERT_EQ(store.rec_temp1.size(), 5000001u);
  store.rec_next = kLargestCapacity - 1;
  EXPECT_TRUE(store.append(1, 2, 3, 4));
  EXPECT_FALSE(store.append(1, 2, 3, 4));
  EXPECT_EQ(store.rec_temp2[4999999], 4.0f);
}

}  // namespace
}  // namespace zetra
