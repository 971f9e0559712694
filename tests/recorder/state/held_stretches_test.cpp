// The marks of held samples through the changes of the store: held live, cut through, pasted
// into and copied out, with their times of day carried along.
#include "recorder/state/held_stretches.h"

#include <gtest/gtest.h>

namespace zetra {
namespace {

using List = std::vector<HeldStretch>;

HeldStretches of(const List& stretches) {
  HeldStretches held;
  for (const HeldStretch& s : stretches) EXPECT_TRUE(held.append(s));
  return held;
}

TEST(HeldStretches, HeldSamplesInARowMakeOneStretchAndAGapStartsTheNext) {
  HeldStretches held;
  held.hold(52, 37867);
  held.hold(53, 37868);
  held.hold(53, 37999);  // already held: nothing changes
  held.hold(54, 37869);
  held.hold(60, 37872);
  EXPECT_EQ(held.list(), (List{{52, 54, 37867, 37869}, {60, 60, 37872, 37872}}));
  EXPECT_TRUE(held.holds(53));
  EXPECT_FALSE(held.holds(55));
  EXPECT_FALSE(held.holds(51));
  EXPECT_TRUE(held.holds(60));
  EXPECT_EQ(held.count_in(50, 60), 4u);
  EXPECT_EQ(held.count_in(54, 59), 1u);
  EXPECT_FALSE(held.append({58, 70, -1, -1})) << "overlaps the newest";
  EXPECT_FALSE(held.append({80, 79, -1, -1})) << "empty";
}

// Samples 10..29 held from 10:00:00 to 10:00:19, one a second, and 50..59 after.
HeldStretches two_stretches() {
  return of({{10, 29, 36000, 36019}, {50, 59, 36040, 36049}});
}

TEST(HeldStretches, ARemovalShiftsLaterStretchesAndTrimsOrJoinsThoseItCuts) {
  HeldStretches held = two_stretches();
  held.remove(1, 5);  // before both
  EXPECT_EQ(held.list(), (List{{5, 24, 36000, 36019}, {45, 54, 36040, 36049}}));
  held = two_stretches();
  held.remove(25, 30);  // the end of the first, all between, the start of the second
  EXPECT_EQ(held.list(), (List{{10, 24, 36000, 36014}, {25, 29, 36045, 36049}}));
  held = two_stretches();
  held.remove(15, 5);  // out of the middle of the first: what is left is one stretch
  EXPECT_EQ(held.list(), (List{{10, 24, 36000, 36019}, {45, 54, 36040, 36049}}));
  held = two_stretches();
  held.remove(10, 20);  // the whole first
  EXPECT_EQ(held.list(), (List{{30, 39, 36040, 36049}}));
  held = two_stretches();
  held.remove(60, 100);  // after both
  EXPECT_EQ(held, two_stretches());
}

TEST(HeldStretches, AnInsertionSplitsTheStretchItLandsInAndBringsItsOwnMarks) {
  HeldStretches held = two_stretches();
  held.insert(20, 5, of({{1, 2, 40000, 40001}}));
  EXPECT_EQ(held.list(), (List{{10, 19, 36000, 36009},
                               {21, 22, 40000, 40001},
                               {25, 34, 36010, 36019},
                               {55, 64, 36040, 36049}}));
  held = two_stretches();
  held.insert(10, 3, {});  // at a stretch's first sample: the whole stretch moves
  EXPECT_EQ(held.list(), (List{{13, 32, 36000, 36019}, {53, 62, 36040, 36049}}));
}

TEST(HeldStretches, ASliceKeepsTheMarksOfTheRunCountedFromItsStart) {
  const HeldStretches held = two_stretches();
  EXPECT_EQ(held.slice(25, 30).list(), (List{{0, 4, 36015, 36019}, {25, 29, 36040, 36044}}));
  EXPECT_TRUE(held.slice(30, 20).empty());
  // Pasted back where it was cut from, the marks are as before.
  HeldStretches cut = held;
  const HeldStretches run = cut.slice(20, 40);
  cut.remove(20, 40);
  cut.insert(20, 40, run);
  EXPECT_EQ(cut.list(),
            (List{{10, 19, 36000, 36009}, {20, 29, 36010, 36019}, {50, 59, 36040, 36049}}));
}

TEST(HeldStretches, TimesOverMidnightAndUnknownTimesStaySound) {
  HeldStretches held = of({{100, 199, 86390, 89}, {300, 301, -1, -1}});  // 23:59:50 .. 00:01:29
  held.remove(100, 50);
  EXPECT_EQ(held.list(), (List{{100, 149, 40, 89}, {250, 251, -1, -1}}));
}

}  // namespace
}  // namespace zetra
