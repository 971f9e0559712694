// The acquisition tick over both transports, fed by the meter's stand-ins bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "recorder/acquisition/acquisition_tick.h"
#include "recorder/numbers/number_format.h"
#include "standins/meter/meter_model.h"
#include "standins/meter/scripted_meter.h"
#include "standins/meter/word_codec.h"
#include "tests/support/recorder_harness.h"

namespace zetra {
namespace {

using standins::invalid_word;
using standins::kMaxData;
using standins::make_words;
using standins::valid_word;
using testing::RecorderHarness;
using testing::Transport;

class BothTransports : public ::testing::TestWithParam<Transport> {};

std::string transport_name(const ::testing::TestParamInfo<Transport>& info) {
  return info.param == Transport::Serial ? "Serial" : "Usb";
}

INSTANTIATE_TEST_SUITE_P(Link, BothTransports,
                         ::testing::Values(Transport::Serial, Transport::Usb), transport_name);

TEST_P(BothTransports, LeadBitZeroReadsZeroAndAllBitsSetRoundsInFloat) {
  RecorderHarness h(GetParam());
  h.state().filter_order = 1;
  h.connect();
  h.meter.push(make_words(invalid_word(kMaxData), valid_word(kMaxData), valid_word(kMaxData),
                          invalid_word(kMaxData)));
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().live_cur1, -11697.0f);  // a word whose lead bit is 0 decodes to 0
  EXPECT_EQ(h.state().live_temp2, -3.7f);
  // 2^29 - 1 accumulated in 32-bit floats becomes 536870912.
  EXPECT_EQ(h.state().live_cur2, 738302.875f);
  EXPECT_EQ(h.state().live_temp1, static_cast<float>(536870912 / 715828.0 - 3.7));
  EXPECT_EQ(numbers::format_fixed(h.state().live_temp1, 4), "746.2999");
  EXPECT_EQ(h.state().range1, 0.0f);
}

TEST_P(BothTransports, DecodesWhatTheMeterEncodedOverManySampleSets) {
  RecorderHarness h(GetParam());
  h.state().filter_order = 1;
  h.connect();
  standins::MeterModel model(7);
  int high_range_sets = 0;
  for (int n = 0; n < 400; ++n) {
    standins::SampleSet set = model.advance(0.5);
    set.busy = false;  // busy polls have their own test
    // Spread the currents over both ranges and far beyond the usual baseline.
    set.channel[0].current_pa = -11000 + 700000.0 * ((n * 37) % 100) / 100.0;
    set.channel[1].high_range = n % 3 == 0;
    set.channel[1].current_pa = set.channel[1].high_range ? -110000 + 5000.0 * (n % 50) : 800 + n;
    set.channel[0].temperature_c = -3 + 0.37 * n;
    high_range_sets += set.channel[1].high_range;
    const standins::SampleWords words = standins::encode(set);
    const standins::SampleSet expected = standins::decode(words);
    h.meter.push(words);
    h.recorder.tick("Timer1");
    const RecorderState& s = h.state();
    const float cur[] = {s.live_cur1, s.live_cur2}, temp[] = {s.live_temp1, s.live_temp2};
    for (int c = 0; c < 2; ++c) {
      const auto& want = expected.channel[static_cast<size_t>(c)];
      // Float accumulation keeps 24 bits of the word, and x10 rounds once more in high range.
      EXPECT_NEAR(cur[c], want.current_pa, want.high_range ? 1.2 : 0.1) << "set " << n;
      EXPECT_NEAR(temp[c], want.temperature_c, 1e-4) << "set " << n;
    }
    EXPECT_EQ(s.range2, set.channel[1].high_range ? 1.0f : 0.0f);
  }
  EXPECT_GT(high_range_sets, 100);
}

TEST_P(BothTransports, BusyTicksHoldTheValuesAndStoreThemAgain) {
  RecorderHarness h(GetParam());
  h.state().filter_order = 1;
  h.connect();
  h.recorder.press("crec");
  h.meter.push(make_words(valid_word(9000000), valid_word(20000000), valid_word(10000000),
                          valid_word(21000000)));
  h.meter.push_busy();
  h.recorder.tick("Timer1");
  h.state().marker_pending = 1;  // waits for the next successful read
  h.state().zero_state1 = 1;
  h.recorder.tick("Timer1");
  const RecorderState& s = h.state();
  ASSERT_EQ(s.rec_next, 3.0f);
  EXPECT_EQ(s.rec_cur1[2], s.rec_cur1[1]);
  EXPECT_EQ(s.rec_temp2[2], s.rec_temp2[1]);
  EXPECT_EQ(s.marker_pending, 1);
  EXPECT_EQ(s.zero_state1, 1);
  EXPECT_EQ(s.filter_pos, 1);
}

// The CH1 current the filter gives for the ring's slots 1..order in slot order: the sum of
// word x (1 / order) in double, then the normal-range conversion.
float filtered_pa(const std::vector<double>& slots) {
  double sum = 0;
  for (double word : slots) sum += static_cast<float>(word) * (1.0 / static_cast<double>(slots.size()));
  return static_cast<float>(static_cast<float>(sum) / 715.828 - 11697);
}

// A slot never written since start-up stands for the tick's own input, so the first samples are
// the measured ones; a written slot keeps its reading through lowering and raising the order.
TEST_P(BothTransports, FilterCountsSlotsNeverWrittenAsTheCurrentInput) {
  RecorderHarness h(GetParam());
  h.connect();
  h.recorder.press("crec");  // within the first eight ticks after start-up
  const double w1 = 80000000, w2 = 9000000, w3 = 12345678, w4 = 30000000, w5 = 7654321;
  for (double w : {w1, w2, w3, w4, w5}) {
    h.meter.push(make_words(valid_word(static_cast<uint32_t>(w)), valid_word(0),
                            valid_word(static_cast<uint32_t>(w)), valid_word(0)));
  }
  h.recorder.tick("Timer1");  // order 8, slot 1: no ramp up from -11697 pA
  EXPECT_EQ(h.state().rec_cur1[1], filtered_pa({w1}));
  EXPECT_EQ(h.state().rec_cur2[1], h.state().rec_cur1[1]);
  h.recorder.tick("Timer1");  // slot 2; slots 3..8 stand for this tick's w2
  EXPECT_EQ(h.state().rec_cur1[2], filtered_pa({w1, w2, w2, w2, w2, w2, w2, w2}));
  h.recorder.tick("Timer1");  // slot 3
  h.recorder.press("porder2");
  h.recorder.tick("Timer1");  // slot 4 written, slots 1 and 2 averaged
  EXPECT_EQ(h.state().live_cur1, filtered_pa({w1, w2}));
  h.recorder.press("porder10");
  h.recorder.tick("Timer1");  // slot 1; 3 and 4 keep their readings, 5..10 stand for w5
  EXPECT_EQ(h.state().live_cur1, filtered_pa({w5, w2, w3, w4, w5, w5, w5, w5, w5, w5}));
  // CH2 sums the same slots in float: near, and exactly what its own sum gives.
  EXPECT_NEAR(h.state().live_cur2, h.state().live_cur1, 0.01);
}

// A meter busy for a few polls is held over, as it always was; one that stays busy longer counts
// as not answering: every sample stored since its first busy poll is marked held, with the times
// of day, and the status field says since when until a sample set arrives again.
TEST_P(BothTransports, AMeterBusyForTooManyPollsIsMarkedHeldFromItsFirstBusyPoll) {
  RecorderHarness h(GetParam());
  h.connect();
  h.recorder.press("crec");
  const auto ready = [&h] { h.meter.push(make_words(valid_word(9000000), valid_word(20000000),
                                                    valid_word(10000000), valid_word(21000000))); };
  ready();
  for (int n = 0; n < kBusyPollsTolerated; ++n) h.meter.push_busy();
  ready();
  for (int n = 0; n < kBusyPollsTolerated + 2; ++n) h.meter.push_busy();
  ready();
  const RecorderState& s = h.state();
  const size_t first = kBusyPollsTolerated + 3, last = 2 * kBusyPollsTolerated + 4;
  const int64_t t0 = 10 * 3600 + 31 * 60;
  for (size_t tick = 1; tick <= last + 1; ++tick) {
    h.clock.now = t0 + static_cast<int64_t>(tick);
    h.recorder.tick("Timer1");
    if (tick == kBusyPollsTolerated + 1 || tick == first + kBusyPollsTolerated - 1) {
      EXPECT_EQ(s.link_notice, "") << "a few busy polls, tick " << tick;
    }
    if (tick == last) {
      const std::string since = "No answer from the unit since " +
                                numbers::format_clock_time(t0 + static_cast<int64_t>(first));
      EXPECT_EQ(s.link_notice, since);
      EXPECT_NE(h.window()["stfield"].caption.find(since), std::string::npos);
    }
  }
  EXPECT_EQ(s.held.list(), (std::vector<HeldStretch>{{first, last, t0 + static_cast<int64_t>(first),
                                                      t0 + static_cast<int64_t>(last)}}));
  EXPECT_EQ(s.rec_cur1[last], s.rec_cur1[first - 1]) << "held copies of the last answer";
  EXPECT_EQ(s.link_notice, "") << "answered again";
}

// Bit-exact arithmetic at words where single and double precision part: the CH1 sum is double,
// the CH2 sum float, the share 1/3 double, temperatures converted in double, and the high range's
// x10 in float. The same three words on both channels end one float step apart.
TEST_P(BothTransports, FilterAndConversionsAreBitExact) {
  RecorderHarness h(GetParam());
  h.recorder.press("porder3");
  h.connect();
  for (uint32_t w : {9735811u, 10234761u, 12991729u}) {
    h.meter.push(make_words(valid_word(w), valid_word(3683941), valid_word(w), valid_word(0)));
  }
  for (int n = 0; n < 3; ++n) h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().live_cur1, 3652.265380859375f);
  EXPECT_EQ(h.state().live_cur2, 3652.26416015625f);
  EXPECT_EQ(h.state().live_temp1, 1.446405291557312f);
  EXPECT_EQ(h.state().live_temp2, -3.7f);

  h.recorder.press("porder1");
  h.meter.push(make_words(valid_word(0), valid_word(0), valid_word(3683941), valid_word(0),
                          false, true));
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().live_cur2, -65475.94921875f);
}

TEST_P(BothTransports, FilterOffFirstReportsRingSlotOneThenEachReading) {
  RecorderHarness h(GetParam());
  h.connect();
  const uint32_t words[] = {7000000, 8000000, 9000000, 10000000, 11000000};
  for (uint32_t w : words) h.meter.push(make_words(valid_word(w), valid_word(0), valid_word(w),
                                                   valid_word(0)));
  for (int n = 0; n < 3; ++n) h.recorder.tick("Timer1");
  ASSERT_EQ(h.state().filter_pos, 4);
  h.recorder.press("porder1");
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().live_cur1, -1918.1146240234375f);  // slot 1: the first word
  EXPECT_EQ(h.state().filter_pos, 1);
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().live_cur1, 3669.820068359375f);  // the fifth word
}

TEST_P(BothTransports, ZeroCaptureInHighRangeKeepsNormalRangeUnits) {
  RecorderHarness h(GetParam());
  h.state().filter_order = 1;
  h.connect();
  const uint32_t word = 100000000;
  h.meter.push(make_words(valid_word(word), valid_word(0), valid_word(word), valid_word(0), true));
  h.meter.push(make_words(valid_word(word), valid_word(0), valid_word(word), valid_word(0), false));
  h.recorder.press("czero");
  h.recorder.tick("Timer1");
  const float high_unzeroed = static_cast<float>(float(word) * 10 / 715.828 - 116940);
  EXPECT_EQ(h.state().live_cur1, high_unzeroed);  // this tick is not yet zeroed
  EXPECT_EQ(h.state().zero_offset1, high_unzeroed / 10);
  EXPECT_EQ(h.state().zero_state1, 2);
  EXPECT_EQ(h.state().zero_state2, 2);  // the start-up request to clear settled too
  h.recorder.tick("Timer1");
  const float normal_unzeroed = static_cast<float>(float(word) / 715.828 - 11697);
  EXPECT_EQ(h.state().live_cur1, normal_unzeroed - high_unzeroed / 10);
  h.recorder.press("coz");
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().zero_offset1, 0.0f);
}

// An offset taken in normal range is subtracted ten times over while the channel reads in its
// high range, on either channel; one taken in high range zeroes that range's reading.
TEST_P(BothTransports, ZeroedChannelsInHighRangeSubtractTenTimesTheOffset) {
  RecorderHarness h(GetParam());
  h.state().filter_order = 1;
  h.connect();
  const uint32_t normal = 20000000, high = 3000000;
  h.meter.push(make_words(valid_word(normal), valid_word(0), valid_word(normal), valid_word(0)));
  h.meter.push(make_words(valid_word(high), valid_word(0), valid_word(high), valid_word(0), true,
                          true));
  h.recorder.press("czero");
  h.recorder.press("czero2");
  h.recorder.tick("Timer1");
  const float offset = static_cast<float>(float(normal) / 715.828 - 11697);
  ASSERT_EQ(h.state().zero_offset1, offset);
  ASSERT_EQ(h.state().zero_offset2, offset);
  h.recorder.tick("Timer1");
  const float high_unzeroed = static_cast<float>(float(high) * 10 / 715.828 - 116940);
  EXPECT_EQ(h.state().live_cur1, high_unzeroed - 10.0f * offset);
  EXPECT_EQ(h.state().live_cur2, high_unzeroed - 10.0f * offset);
  EXPECT_EQ(h.state().range1, 1.0f);
  h.recorder.press("czero");  // captured in high range: one tenth, in normal-range pA
  h.recorder.tick("Timer1");
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().zero_offset1, high_unzeroed / 10);
  EXPECT_NEAR(h.state().live_cur1, 0.0f, 0.01f);
}

TEST_P(BothTransports, MarkerDipsOnlyCh1AndIsConsumedEvenWhenNotRecording) {
  RecorderHarness h(GetParam());
  h.state().filter_order = 1;
  h.connect();
  const auto set = make_words(valid_word(20000000), valid_word(20000000), valid_word(30000000),
                              valid_word(21000000));
  for (int n = 0; n < 3; ++n) h.meter.push(set);
  h.recorder.tick("Timer1");
  const float plain = h.state().live_cur1;
  h.state().marker_pending = 1;
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().live_cur1, plain - 10000);
  EXPECT_EQ(h.state().marker_pending, 0);
  EXPECT_EQ(h.state().rec_next, 1.0f);  // not recording: nothing stored
  h.recorder.press("crec");
  h.recorder.press("cmarker");
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().rec_cur1[1], plain - 10000);
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().rec_cur1[2], plain);
  EXPECT_EQ(h.state().rec_cur2[1], h.state().rec_cur2[2]);
  EXPECT_EQ(h.state().rec_temp1[1], h.state().rec_temp1[2]);
  EXPECT_EQ(h.state().rec_temp2[1], h.state().rec_temp2[2]);
}

TEST_P(BothTransports, AFullStoreKeepsLiveValuesAndRecording) {
  RecorderHarness h(GetParam());
  h.connect();
  h.recorder.press("crec");
  h.state().rec_next = h.state().rec_capacity - 1;
  h.recorder.tick("Timer1");
  h.recorder.tick("Timer1");
  h.meter.push(make_words(valid_word(5000000), valid_word(0), valid_word(0), valid_word(0)));
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.state().rec_next, h.state().rec_capacity);
  EXPECT_EQ(h.window()["crec"].caption, "Stop");
  EXPECT_NE(h.state().live_cur1, h.state().rec_cur1[99999]);
}

TEST(UsbTick, ABusyUnitIsNotAskedForTheBlock) {
  RecorderHarness h(Transport::Usb);
  h.connect();
  h.meter.push_busy();
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.library.count_calls("KV_USRRead"), 1);
  EXPECT_EQ(h.library.count_calls("KV_ReadBlock"), 0);
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.library.count_calls("KV_ReadBlock"), 1);
}

TEST(SerialTick, ClocksExactlyTheLineOperationsOfOneSampleSet) {
  RecorderHarness h(Transport::Serial);
  h.connect();
  h.serial.reset_counts();
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.serial.line_settings(), 188);
  EXPECT_EQ(h.serial.line_samples(), 126);
  h.recorder.press("czero");
  h.recorder.press("czero2");
  h.serial.reset_counts();
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.serial.line_settings(), 188 + 4);
  EXPECT_EQ(h.serial.line_samples(), 126 + 2);
}

TEST(SerialTick, ABusyMeterTogglesNoLine) {
  RecorderHarness h(Transport::Serial);
  h.connect();
  h.meter.push_busy();
  h.serial.reset_counts();
  h.recorder.tick("Timer1");
  EXPECT_EQ(h.serial.line_settings(), 0);
  EXPECT_EQ(h.serial.line_samples(), 2);
}

TEST(SerialTick, TheFirstRangeSampleDecidesWhenTheRangeChangesInBetween) {
  for (bool becomes_high : {true, false}) {
    RecorderHarness h(Transport::Serial);
    h.state().filter_order = 1;
    h.connect();
    const uint32_t word = 50000000;
    h.meter.push(make_words(valid_word(word), valid_word(0), valid_word(word), valid_word(0),
                            !becomes_high, false));
    h.serial.reset_counts();
    h.serial.change_range_after_dsr_sample(1, 0, becomes_high);
    h.recorder.tick("Timer1");
    const double normal = float(word) / 715.828 - 11697;
    const double high = float(word) * 10.0f / 715.828 - 116940;
    EXPECT_NEAR(h.state().live_cur1, becomes_high ? normal : high, 0.01) << becomes_high;
    EXPECT_EQ(h.state().range1, becomes_high ? 0.0f : 1.0f);
  }
}

}  // namespace
}  // namespace zetra
