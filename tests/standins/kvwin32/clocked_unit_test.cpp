// Tests of the real-time pacing of the stand-in kvwin32's units, on a fake clock.
#include "standins/kvwin32/clocked_unit.h"

#include <gtest/gtest.h>

namespace zetra::standins {
namespace {

MeterProfile never_busy() {
  MeterProfile profile;
  profile.busy_probability = 0.0;
  return profile;
}

uint8_t status_of(ClockedUnit& unit) {
  uint8_t status = 0xEE;
  EXPECT_TRUE(unit.status(status));
  return status;
}

TEST(ClockedUnit, PollsWithinTheConversionTimeFindTheMeterBusy) {
  double now = 1000.0;
  ClockedUnit unit(1, [&] { return now; }, never_busy());
  ASSERT_TRUE(unit.open());
  EXPECT_EQ(status_of(unit), 0) << "a set is ready as soon as the unit is open";
  Block block{};
  ASSERT_TRUE(unit.read_block(0, 32, block.data()));
  EXPECT_EQ(block[0], 1);
  for (double dt : {0.0, 0.05, 0.0999}) {
    now = 1000.0 + dt;
    EXPECT_EQ(status_of(unit), kStatusNotReady) << dt;
  }
  now = 1000.1;
  EXPECT_EQ(status_of(unit), 0);
  ASSERT_TRUE(unit.read_block(0, 32, block.data()));
  EXPECT_EQ(block[0], 2);
  EXPECT_NEAR(unit.model().time_s(), 0.1, 1e-9) << "the signal moved by the real time passed";
}

// At every rate the recorder offers, almost every tick gets a fresh set, and the signal keeps pace
// with the clock (a long pause advances it by at most a minute).
TEST(ClockedUnit, RecorderRatesGetFreshSetsInRealTime) {
  for (int rate = 1; rate <= 5; ++rate) {
    double now = 50.0;
    ClockedUnit unit(rate, [&] { return now; });
    unit.open();
    int fresh = 0;
    int32_t last_sequence = 0;
    const int ticks = 600;
    for (int tick = 0; tick < ticks; ++tick) {
      now += 1.0 / rate + (tick % 3 - 1) * 0.004;  // timer jitter of a few ms
      if (status_of(unit) & kStatusNotReady) continue;
      Block block{};
      unit.read_block(0, 32, block.data());
      fresh += block[0] > last_sequence;
      last_sequence = block[0];
    }
    EXPECT_GT(fresh, ticks * 95 / 100) << rate << "/s";
    EXPECT_LT(fresh, ticks) << rate << "/s: the model's own busy polls show";
    const double model_s = unit.model().time_s();
    EXPECT_NEAR(model_s, now - 50.0, 1.0 / rate + 0.01) << rate << "/s";

    now += 3600.0;
    status_of(unit);
    EXPECT_NEAR(unit.model().time_s(), model_s + kLongestStepS, 1.0 / rate + 0.01);
  }
}

// A quiet spell, counted from the first opening: the unit answers nothing (or its meter stays
// busy) for that long, then goes on as before. Only the forms of ZETRA_STANDIN_QUIET are taken.
TEST(ClockedUnit, AQuietSpellSilencesTheUnitOrKeepsItsMeterBusyForAWhile) {
  EXPECT_LT(parse_quiet_spell(nullptr).from_s, 0);
  EXPECT_LT(parse_quiet_spell("").from_s, 0);
  EXPECT_LT(parse_quiet_spell("5").from_s, 0);
  EXPECT_LT(parse_quiet_spell("5,0").from_s, 0);
  EXPECT_LT(parse_quiet_spell("5,3,slow").from_s, 0);
  for (const bool busy : {false, true}) {
    const QuietSpell spell = parse_quiet_spell(busy ? "2,3,busy" : "2,3");
    ASSERT_EQ(spell.from_s, 2.0);
    ASSERT_EQ(spell.to_s, 5.0);
    ASSERT_EQ(spell.busy, busy);
    double now = 100.0;
    ClockedUnit unit(1, [&] { return now; }, never_busy());
    unit.set_quiet_spell(spell);
    ASSERT_TRUE(unit.open());
    Block block{};
    now = 101.9;
    EXPECT_EQ(status_of(unit), 0);
    now = 102.0;
    uint8_t status = 0;
    EXPECT_EQ(unit.status(status), busy);
    EXPECT_EQ(status, busy ? kStatusNotReady : 0);
    EXPECT_EQ(unit.read_block(0, 32, block.data()), busy) << "a busy meter's block still reads";
    now = 105.0;
    EXPECT_EQ(status_of(unit), 0);
    EXPECT_TRUE(unit.read_block(0, 32, block.data()));
  }
}

}  // namespace
}  // namespace zetra::standins
