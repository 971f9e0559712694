// The conditioning commands, driven through the window model as an operator would.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "recorder/state/display_rule.h"
#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

using testing::RecorderHarness;

TEST(Calibration, EntryOpensWithTheValueAndClosesWithTheQuotient) {
  RecorderHarness h;
  h.connect();
  WindowModel& w = h.window();
  ASSERT_TRUE(h.recorder.press("ccal"));
  EXPECT_TRUE(w["ct1"].visible && w["ct2"].visible && w["cl1"].visible && w["cl2"].visible);
  EXPECT_EQ(w["ct1"].caption, "1.00");
  EXPECT_EQ(w["ct2"].caption, "1");
  EXPECT_EQ(w["cl1"].caption, "pA =");
  EXPECT_EQ(w["cl2"].caption, "nM");
  w["ct1"].caption = "250.00";
  w["ct2"].caption = "2";
  h.recorder.press("ccal");
  EXPECT_FALSE(w["ct1"].visible || w["ct2"].visible || w["cl1"].visible || w["cl2"].visible);
  EXPECT_EQ(w["ct1"].caption, "");
  EXPECT_EQ(h.state().pa_per_nm1, 125.0f);
  EXPECT_EQ(channel_rule(h.state(), 1).nanomolar(500.0f, 20.0f), 4.0f);  // 500 pA reads 4 nM
  EXPECT_EQ(h.state().pa_per_nm2, 2.0f);  // the other channel is untouched
}

TEST(Calibration, PressingTwiceKeepsTheValueRoundedToTheDigitsShown) {
  RecorderHarness h;
  h.connect();
  h.state().pa_per_nm2 = 3.14159f;
  h.recorder.press("ccal2");
  EXPECT_EQ(h.window()["ct12"].caption, "3.14");
  h.recorder.press("ccal2");
  EXPECT_FLOAT_EQ(h.state().pa_per_nm2, 3.14f);
}

TEST(Calibration, UnusableAnswersLeaveTheCalibration) {
  RecorderHarness h;
  h.connect();
  for (auto [first, second] : {std::pair{"250", "0"}, {"0", "5"}, {"1e39", "1"}, {"", "2"},
                               {"7", ""}, {"abc", "1"}}) {
    h.recorder.press("ccal");
    h.window()["ct1"].caption = first;
    h.window()["ct2"].caption = second;
    h.recorder.press("ccal");
    EXPECT_EQ(h.state().pa_per_nm1, 1.0f) << first << " / " << second;
  }
}

// Closes CH1's or CH2's entry with the two texts typed.
void enter_calibration(RecorderHarness& h, const std::string& twin, const std::string& pa,
                       const std::string& nm) {
  h.recorder.press("ccal" + twin);
  h.window()["ct1" + twin].caption = pa;
  h.window()["ct2" + twin].caption = nm;
  h.recorder.press("ccal" + twin);
}

// "1,5" means 1.5 wherever a comma is the decimal point; a text that holds a period as well, or
// more than one comma, reads as it always has, up to the comma.
TEST(Calibration, OneCommaAndNoPeriodIsADecimalComma) {
  RecorderHarness h;
  h.connect();
  const std::pair<const char*, float> cases[] = {
      {"1,5", 1.5f}, {" 3,25", 3.25f}, {"-2,5", -2.5f}, {"1,5.2", 1.0f}, {"1,2,3", 1.0f},
      {"7,", 7.0f}, {"1.5", 1.5f}};
  for (const auto& [typed, expected] : cases) {
    enter_calibration(h, "2", typed, "1");
    EXPECT_EQ(h.state().pa_per_nm2, expected) << typed;
  }
  enter_calibration(h, "", "5", "0,5");  // the nM box too
  EXPECT_EQ(h.state().pa_per_nm1, 10.0f);
}

// An entry that is not taken says so in the status field, naming the channel and the calibration
// that stays; the next entry that is taken clears it.
TEST(Calibration, AnIgnoredEntryIsToldInTheStatusField) {
  RecorderHarness h;
  h.connect();
  const auto field = [&h] { return h.window()["stfield"].caption; };
  enter_calibration(h, "2", "abc", "1");
  EXPECT_EQ(field(), "CH2 Conv: \"abc\" is not a number; the calibration stays 2.00 pA/nM");
  enter_calibration(h, "2", "250", "0");
  EXPECT_EQ(field(), "CH2 Conv: cannot divide by 0 nM; the calibration stays 2.00 pA/nM");
  enter_calibration(h, "", "0", "1");
  EXPECT_EQ(field(), "CH1 Conv: a calibration of 0 pA/nM cannot convert; the calibration stays "
                     "1.00 pA/nM");
  enter_calibration(h, "", "1e39", "1");
  EXPECT_EQ(field(), "CH1 Conv: \"1e39\" / \"1\" is out of range; the calibration stays 1.00 "
                     "pA/nM");
  enter_calibration(h, "", "", "1");
  EXPECT_EQ(field(), "CH1 Conv: both boxes need a number; the calibration stays 1.00 pA/nM");
  enter_calibration(h, "", "4", "x");
  EXPECT_EQ(field(), "CH1 Conv: \"x\" is not a number; the calibration stays 1.00 pA/nM");
  EXPECT_EQ(h.state().pa_per_nm1, 1.0f);
  EXPECT_EQ(h.state().pa_per_nm2, 2.0f);
  enter_calibration(h, "2", "1,5", "1");
  EXPECT_EQ(h.state().pa_per_nm2, 1.5f);
  EXPECT_EQ(field(), "");
}

// The temperature boxes read a decimal comma the same way; text that is no number still reads as
// 0 and a number too large is still refused, and both are told.
TEST(InputBoxes, ADecimalCommaAndAnswersNotTakenAsTyped) {
  RecorderHarness h;
  h.dialogs.input_answers = {"24,8", "abc", "1e99", "30"};
  const auto field = [&h] { return h.window()["stfield"].caption; };
  h.recorder.press("pspts");
  EXPECT_EQ(h.state().tc_start1, 24.8f);
  EXPECT_EQ(field(), "");
  h.recorder.press("pcss2");
  EXPECT_EQ(h.state().tc_factor2, 0.0f);
  EXPECT_EQ(field(), "CH2 conversion factor: \"abc\" is not a number; the value is now 0");
  h.recorder.press("pspts2");
  EXPECT_EQ(h.state().tc_start2, 24.55f);
  EXPECT_EQ(field(),
            "CH2 start point temperature: \"1e99\" is out of range; the value stays 24.55");
  h.recorder.press("pcss");
  EXPECT_EQ(h.state().tc_factor1, 30.0f);
  EXPECT_EQ(field(), "");
}

TEST(InputBoxes, SetFactorsAndStartPointsUnlessEmptyOrNotFinite) {
  RecorderHarness h;
  h.dialogs.input_answers = {"", "123.5", "abc", "1e99", "30"};
  h.recorder.press("pcss");
  ASSERT_EQ(h.dialogs.inputs.size(), 1u);
  EXPECT_EQ(h.dialogs.inputs[0].title, "Conversion factor setup");
  EXPECT_EQ(h.dialogs.inputs[0].prompt, "Input conversion factor value (pA): ");
  EXPECT_EQ(h.dialogs.inputs[0].default_text, "100");
  EXPECT_EQ(h.state().tc_factor1, 100.0f);  // empty answer: unchanged
  h.recorder.press("pcss2");
  EXPECT_EQ(h.state().tc_factor2, 123.5f);
  h.recorder.press("pspts");
  EXPECT_EQ(h.dialogs.inputs[2].title, "Start point temperature setup");
  EXPECT_EQ(h.dialogs.inputs[2].prompt, "Input start point temperature value (C): ");
  EXPECT_EQ(h.dialogs.inputs[2].default_text, "24.55");
  EXPECT_EQ(h.state().tc_start1, 0.0f);  // "abc" reads as 0
  h.recorder.press("pspts2");
  EXPECT_EQ(h.state().tc_start2, 24.55f);  // too large for a float: unchanged
  h.recorder.press("pspts2");
  EXPECT_EQ(h.state().tc_start2, 30.0f);
}

TEST(TemperatureCompensation, ModeChecksLabelsAndTheDisplayRule) {
  RecorderHarness h;
  WindowModel& w = h.window();
  EXPECT_TRUE(w["ptcmf"].checked);
  EXPECT_FALSE(w["t5"].visible);
  int redraws = 0;
  h.recorder.procedures().r_line = [&] { ++redraws; };
  h.recorder.press("ptcmo");
  EXPECT_TRUE(h.state().tc_on);
  EXPECT_TRUE(w["ptcmo"].checked && !w["ptcmf"].checked);
  EXPECT_TRUE(w["t5"].visible && w["t52"].visible);
  EXPECT_EQ(w["t5"].caption, "CH1 TC mode on");
  EXPECT_EQ(w["t52"].caption, "CH2 TC mode on");
  // At 25.55 deg C the defaults take off 100 pA; nM divides the compensated value.
  EXPECT_FLOAT_EQ(channel_rule(h.state(), 1).compensated_pa(1000.0f, 25.55f), 900.0f);
  EXPECT_FLOAT_EQ(channel_rule(h.state(), 2).nanomolar(1000.0f, 25.55f), 450.0f);
  h.recorder.press("ptcmf");
  EXPECT_FALSE(h.state().tc_on);
  EXPECT_FALSE(w["t5"].visible || w["t52"].visible);
  EXPECT_EQ(channel_rule(h.state(), 1).compensated_pa(1000.0f, 25.55f), 1000.0f);
  EXPECT_EQ(redraws, 2);
}

TEST(FilterMenu, SetsTheOrderAndKeepsOneItemChecked) {
  RecorderHarness h;
  EXPECT_TRUE(h.window()["porder8"].checked);
  EXPECT_EQ(h.window()["porder1"].caption, "Filter off");
  EXPECT_EQ(h.window()["porder10"].caption, "10 order");
  h.state().filter_pos = 5;
  h.recorder.press("porder3");
  EXPECT_EQ(h.state().filter_order, 3);
  EXPECT_EQ(h.state().filter_pos, 5);  // the ring is not reset
  int checked = 0;
  for (int n = 1; n <= 10; ++n) checked += h.window()["porder" + std::to_string(n)].checked;
  EXPECT_EQ(checked, 1);
  EXPECT_TRUE(h.window()["porder3"].checked);
}

TEST(SampleRateMenu, KeepsTimePerDivisionAndStartsAnEmptyRecording) {
  RecorderHarness h;
  h.state().rec_next = 50;
  h.recorder.press("p3s1");
  EXPECT_EQ(h.state().sample_interval, 1.0f / 3.0f);
  EXPECT_EQ(h.window()["Timer1"].interval_ms, 333);
  EXPECT_FLOAT_EQ(h.state().view_width, 600.0f);  // 10 s/div at 3 samples per second
  EXPECT_EQ(h.state().rec_next, 1.0f);
  EXPECT_TRUE(h.window()["p3s1"].checked && !h.window()["p2s1"].checked);
  const std::pair<const char*, int> rates[] = {
      {"p1s1", 1000}, {"p2s1", 500}, {"p4s1", 250}, {"p5s1", 200}};
  for (auto [item, interval] : rates) {
    h.recorder.press(item);
    EXPECT_EQ(h.window()["Timer1"].interval_ms, interval) << item;
  }
  EXPECT_FLOAT_EQ(h.state().view_width, 1000.0f);  // 5 samples per second x 10 s x 20
}

TEST(MemoryMenu, ReallocatesAndKeepsRecNextUnlessItFallsOutside) {
  RecorderHarness h;
  h.state().rec_next = 1001;
  h.state().rec_cur1[10] = 42;
  h.recorder.press("pr200");
  EXPECT_EQ(h.state().rec_capacity, 200000.0f);
  EXPECT_EQ(h.state().rec_cur1.size(), 200001u);
  EXPECT_EQ(h.state().rec_next, 1001.0f);
  EXPECT_EQ(h.state().rec_cur1[10], 0.0f);
  EXPECT_TRUE(h.window()["pr200"].checked && !h.window()["pr100"].checked);

  h.dialogs.message_answers = {platform::MessageAnswer::No};  // the zeroed samples are unsaved
  h.recorder.press("pr5m");
  h.state().rec_next = 4000000;
  h.state().view_start = 3999000;
  h.dialogs.message_answers = {platform::MessageAnswer::No};
  h.recorder.press("pr1m");  // the recording could not fit: back to an empty view
  EXPECT_EQ(h.state().rec_next, 1.0f);
  EXPECT_EQ(h.state().view_start, 1.0f);
  EXPECT_EQ(h.state().shown_count, 1.0f);
  EXPECT_EQ(h.state().pen_x, 1.0f);
}

TEST(ZeroButtons, ShowTheRequestAtOnce) {
  RecorderHarness h;
  h.connect();
  h.state().zero_state1 = 2;
  h.recorder.press("czero");
  EXPECT_EQ(h.state().zero_state1, 1);
  EXPECT_TRUE(h.window()["t3"].visible);
  EXPECT_EQ(h.window()["t3"].caption, "CH1 Zero on");
  h.recorder.press("coz");
  EXPECT_EQ(h.state().zero_state1, 0);
  EXPECT_FALSE(h.window()["t3"].visible);
  h.recorder.press("czero2");
  EXPECT_EQ(h.state().zero_state2, 1);
  EXPECT_TRUE(h.window()["t32"].visible);
  EXPECT_EQ(h.state().zero_state1, 0);
}

}  // namespace
}  // namespace zetra
